#pragma once

#include "core/ftp/ftpconnection.h"
#include "core/ftp/ftperrors.h"

#include <QList>

// A finished folder search: the entries were read at once (one data connection per folder), so
// stepping through them needs no network and cannot collide with other operations.
class EngineFind : public FtpFind {
public:
    explicit EngineFind(QList<FtpFindData> entries)
        : m_entries(std::move(entries))
    {
    }

    bool next(FtpFindData* data) override
    {
        if (m_index >= m_entries.size()) {
            m_lastError = FtpError::NoMoreFiles;
            return false;
        }
        *data = m_entries[m_index++];
        m_lastError = FtpError::None;
        return true;
    }
    int lastError() const override { return m_lastError; }

private:
    QList<FtpFindData> m_entries;
    qsizetype m_index = 0;
    int m_lastError = 0;
};
