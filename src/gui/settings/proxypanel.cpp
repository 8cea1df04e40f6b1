#include "gui/settings/proxypanel.h"

#include "core/settings/options.h"
#include "gui/settings/focusoutwatcher.h"
#include "gui/settings/panelcontrols.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

using namespace PanelControls;

ProxyPanel::ProxyPanel(Options& options, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame7"), QStringLiteral("Label3"), QStringLiteral("プロキシの設定"), parent)
    , m_options(options)
    , m_useProxy(checkBox(QStringLiteral("Check1"), QStringLiteral("プロキシを使用"), this))
    , m_proxyHost(lineEdit(QStringLiteral("txtProxy"), this))
    , m_proxyPort(lineEdit(QStringLiteral("TxtPport"), this))
    , m_bypassProxyForLocal(checkBox(QStringLiteral("Check3"), QStringLiteral("ローカルにはプロキシを使用しない"), this))
    , m_proxyCredentials { lineEdit(QStringLiteral("Txtpro_0"), this), lineEdit(QStringLiteral("Txtpro_1"), this) }
    , m_passiveMode(checkBox(QStringLiteral("chkPassive"), QStringLiteral("パッシブモード"), this))
{
    m_proxyCredentials[1]->setEchoMode(QLineEdit::Password);
    m_proxyPort->setMaximumWidth(80);

    auto* form = new QFormLayout;
    form->setObjectName(QStringLiteral("Frame7Form"));
    form->addRow(m_useProxy);
    form->addRow(label(QStringLiteral("lblProxyName"), QStringLiteral("プロキシサーバー名"), this), m_proxyHost);
    form->addRow(label(QStringLiteral("lblProxyPort"), QStringLiteral("ポート"), this), m_proxyPort);
    form->addRow(m_bypassProxyForLocal);
    form->addRow(label(QStringLiteral("lblProxyUser"), QStringLiteral("ユーザー名"), this), m_proxyCredentials[0]);
    form->addRow(label(QStringLiteral("lblProxyPassword"), QStringLiteral("パスワード"), this), m_proxyCredentials[1]);
    form->addRow(m_passiveMode);
    body()->addLayout(form);

    addCloseButton(QStringLiteral("Frame7Close"));

    connect(m_useProxy, &QCheckBox::toggled, &m_options, &Options::setUseProxy);
    connect(m_bypassProxyForLocal, &QCheckBox::toggled, &m_options, &Options::setBypassProxyForLocal);
    connect(m_passiveMode, &QCheckBox::toggled, &m_options, &Options::setPassiveMode);
    connect(m_proxyHost, &QLineEdit::textEdited, &m_options, &Options::setProxyHost);
    connect(m_proxyPort, &QLineEdit::textEdited, &m_options, &Options::setProxyPort);
    for (int i = 0; i < 2; ++i) {
        connect(m_proxyCredentials[i], &QLineEdit::textEdited, &m_options,
            [this, i](const QString& t) { m_options.setProxyCredential(i, t); });
        FocusOutWatcher::watch(m_proxyCredentials[i], [this, i] { m_options.proxyCredentialEditingFinished(i); });
    }
    FocusOutWatcher::watch(m_proxyHost, [this] { m_options.proxyHostEditingFinished(); });
    FocusOutWatcher::watch(m_proxyPort, [this] { m_options.proxyPortEditingFinished(); });

    connect(&m_options, &Options::changed, this, &ProxyPanel::refresh);
    refresh();
}

void ProxyPanel::refresh()
{
    mirrorChecked(m_useProxy, m_options.useProxy());
    mirrorChecked(m_bypassProxyForLocal, m_options.bypassProxyForLocal());
    mirrorChecked(m_passiveMode, m_options.passiveMode());
    mirrorText(m_proxyHost, m_options.proxyHost());
    mirrorText(m_proxyPort, m_options.proxyPort());
    for (int i = 0; i < 2; ++i)
        mirrorText(m_proxyCredentials[i], m_options.proxyCredential(i));
    m_bypassProxyForLocal->setEnabled(m_options.bypassProxyForLocalEnabled());
    m_proxyHost->setEnabled(m_options.proxyFieldsEnabled());
    m_proxyPort->setEnabled(m_options.proxyFieldsEnabled());
    m_proxyCredentials[0]->setEnabled(m_options.proxyFieldsEnabled());
    m_proxyCredentials[1]->setEnabled(m_options.proxyFieldsEnabled());
}
