#include "core/ftp/engine/asciiconverter.h"

#include <cstring>

void AsciiConverter::convert(QByteArrayView in, QByteArray* out)
{
    if (in.isEmpty())
        return;
    const char* p = in.data();
    const char* const end = p + in.size();
    if (m_direction == Direction::Download) {
        out->reserve(out->size() + in.size() + 1);
        if (m_pendingCr) {
            m_pendingCr = false;
            if (*p != '\n')
                out->append('\r');
        }
        // Copy runs between CRs at once; only the CRs are looked at.
        while (p < end) {
            const char* cr = static_cast<const char*>(std::memchr(p, '\r', end - p));
            if (!cr) {
                out->append(p, end - p);
                break;
            }
            out->append(p, cr - p);
            if (cr + 1 == end) {
                m_pendingCr = true;
                break;
            }
            if (cr[1] != '\n')
                out->append('\r');
            p = cr + 1;
        }
        return;
    }
    out->reserve(out->size() + in.size() + in.size() / 16 + 2);
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', end - p));
        if (!lf) {
            out->append(p, end - p);
            m_lastWasCr = end[-1] == '\r';
            return;
        }
        out->append(p, lf - p);
        const bool precededByCr = lf > in.data() ? lf[-1] == '\r' : m_lastWasCr;
        if (!precededByCr)
            out->append('\r');
        out->append('\n');
        m_lastWasCr = false;
        p = lf + 1;
    }
}

void AsciiConverter::finish(QByteArray* out)
{
    if (m_pendingCr)
        out->append('\r');
    m_pendingCr = false;
    m_lastWasCr = false;
}
