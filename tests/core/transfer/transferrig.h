#pragma once

// Both panes with the transfers between them, for the transfer tests: the FTP pane rig, a local
// pane on a temporary folder, the mode rules from the defaults, the status window's state.
#include "core/app/itemroles.h"
#include "core/app/statusreport.h"
#include "core/ftpsession/panerig.h"
#include "core/panes/localpane.h"
#include "core/transfer/moderules.h"
#include "core/transfer/transfers.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTest>

struct TransferRig {
    PaneRig ftp;
    QTemporaryDir localDir;
    std::unique_ptr<LocalPane> local;
    std::unique_ptr<ModeRules> modes;
    std::unique_ptr<StatusReport> report;
    std::unique_ptr<Transfers> transfers;

    TransferRig()
    {
        local = std::make_unique<LocalPane>(ftp.state, ftp.record, ftp.dialogs);
        local->setOptions(*ftp.options);
        modes = std::make_unique<ModeRules>(*ftp.lines);
        modes->LoadModeLists();
        report = std::make_unique<StatusReport>(ftp.state);
        transfers = std::make_unique<Transfers>(
            ftp.state, *ftp.options, *modes, *local, *ftp.pane, *ftp.status, *ftp.log, ftp.dialogs, *report);
        transfers->setClock([this] { return ftp.now; });
        ftp.pane->setShowTransferCounts([this] { report->ShowTransferCounts(); });
    }

    ~TransferRig()
    {
        transfers.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    // Starts the server, connects at its root and shows both folders.
    bool connect(FtpServerFixture& server)
    {
        QString error;
        if (!server.start(&error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        ftp.setProfile(server);
        return connectProfile();
    }

    bool connectProfile()
    {
        ftp.pane->ConnectServer();
        if (!ftp.state.IsConnected) {
            qWarning("%s", qPrintable(ftp.dialogs.texts().join(u'|')));
            return false;
        }
        showBoth();
        return true;
    }

    void showBoth()
    {
        ftp.pane->RefreshFtpPanes();
        local->setFolderText(localDir.path());
        local->RefreshLocalPanes();
    }

    QString localPath(const QString& name) const { return localDir.filePath(name); }

    static int rowOf(const QAbstractItemModel* model, const QString& name)
    {
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->index(r, 0).data().toString() == name)
                return r;
        }
        return -1;
    }

    static void select(QItemSelectionModel* selection, const QStringList& names)
    {
        selection->clear();
        for (const QString& name : names) {
            const int row = rowOf(selection->model(), name);
            QVERIFY2(row >= 0, qPrintable(name));
            selection->select(
                selection->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    void selectRemote(const QStringList& names) { select(ftp.pane->fileSelection(), names); }
    void selectLocal(const QStringList& names) { select(local->fileSelection(), names); }

    static QString icon(const QAbstractItemModel* model, const QString& name)
    {
        const int row = rowOf(model, name);
        return row < 0 ? QStringLiteral("(none)") : model->index(row, 0).data(ItemRoles::IconKeyRole).toString();
    }
    QString remoteIcon(const QString& name) const { return icon(ftp.pane->fileList(), name); }
    QString localIcon(const QString& name) const { return icon(local->fileList(), name); }
    bool remoteSelected(const QString& name) const
    {
        return ftp.pane->fileSelection()->isRowSelected(rowOf(ftp.pane->fileList(), name), QModelIndex());
    }

    // Icon keys of a tree's nodes by key.
    static QMap<QString, QString> treeIcons(QStandardItemModel* tree)
    {
        QMap<QString, QString> icons;
        std::vector<QStandardItem*> stack;
        for (int r = 0; r < tree->rowCount(); ++r)
            stack.push_back(tree->item(r));
        while (!stack.empty()) {
            QStandardItem* node = stack.back();
            stack.pop_back();
            icons.insert(node->data(ItemRoles::NodeKeyRole).toString(), node->data(ItemRoles::IconKeyRole).toString());
            for (int r = 0; r < node->rowCount(); ++r)
                stack.push_back(node->child(r));
        }
        return icons;
    }

    // The status lines without their time.
    QStringList statusTexts() const
    {
        QStringList texts;
        for (const QString& line : ftp.statusLines())
            texts.append(line.mid(9));
        return texts;
    }

    int logCount(const QString& openTag) const { return int(ftp.logText().count(openTag)); }
};

// Files for the tests.
inline bool writeBytes(const QString& path, const QByteArray& bytes, const QDateTime& modified = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush())
        return false;
    if (modified.isValid() && !f.setFileTime(modified, QFileDevice::FileModificationTime))
        return false;
    return true;
}

inline QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

inline QDateTime at(int y, int m, int d, int h = 10, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min)); }
