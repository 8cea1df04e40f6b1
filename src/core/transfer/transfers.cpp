// Downloads and uploads between the two panes.
#include "core/transfer/transfers.h"

#include "core/app/statusreport.h"

Transfers::Transfers(AppState& state, ListingRecord& record, Options& options, ModeRules& modeRules,
    LocalPane& localPane, RemotePane& remotePane, StatusLines& statusLines, ActivityLog& log, Dialogs& dialogs,
    StatusReport& report, QObject* parent)
    : QObject(parent)
    , m_state(state)
    , m_record(record)
    , m_options(options)
    , m_modeRules(modeRules)
    , m_localPane(localPane)
    , m_remotePane(remotePane)
    , m_statusLines(statusLines)
    , m_log(log)
    , m_dialogs(dialogs)
    , m_report(report)
{
}

Transfers::~Transfers() = default;

void Transfers::setOption1(int index) { m_option1 = index == 1 ? 1 : 0; }
void Transfers::DownloadSelection() { }
void Transfers::DownloadFiles() { }
void Transfers::DownloadTree(const QString&) { }
int Transfers::CompareWithLocal(int) { return 2; }
QString Transfers::FileStampText(const QString&, const QString&) { return {}; }
bool Transfers::FtpGetFileConv(FtpConnection*, const QString&, const QString&, bool, int, int, int) { return false; }
void Transfers::UploadSelection() { }
void Transfers::UploadFiles() { }
void Transfers::UploadTree() { }
int Transfers::CompareWithServer(int) { return 1; }
int Transfers::CompareTreeStamps(const QString&, const QString&) { return 0; }
bool Transfers::FtpPutFileConv(FtpConnection*, const QString&, const QString&, int, int) { return false; }
void Transfers::UpdateRemoteFile(const QString&, const QString&) { }
