#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The line-end conversion of ASCII transfers, exact across buffer boundaries.
// Download: CR LF becomes LF, a lone CR stays. Upload: a LF not preceded by CR becomes CR LF,
// CR LF and lone CR stay.
class AsciiConverter {
public:
    enum class Direction { Download, Upload };
    explicit AsciiConverter(Direction direction)
        : m_direction(direction)
    {
    }

    // Appends the converted bytes of `in` to `out`.
    void convert(QByteArrayView in, QByteArray* out);
    // Appends what is still held back (a CR at the very end of a download).
    void finish(QByteArray* out);

private:
    Direction m_direction;
    bool m_pendingCr = false; // download: a CR held back until the next byte is known
    bool m_lastWasCr = false; // upload: the last byte sent was CR
};
