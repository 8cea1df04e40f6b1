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
    , m_check1(checkBox(QStringLiteral("Check1"), QStringLiteral("プロキシを使用"), this))
    , m_txtProxy(lineEdit(QStringLiteral("txtProxy"), this))
    , m_txtPport(lineEdit(QStringLiteral("TxtPport"), this))
    , m_check3(checkBox(QStringLiteral("Check3"), QStringLiteral("ローカルにはプロキシを使用しない"), this))
    , m_txtpro { lineEdit(QStringLiteral("Txtpro_0"), this), lineEdit(QStringLiteral("Txtpro_1"), this) }
    , m_chkPassive(checkBox(QStringLiteral("chkPassive"), QStringLiteral("パッシブモード"), this))
{
    m_txtpro[1]->setEchoMode(QLineEdit::Password);
    m_txtPport->setMaximumWidth(80);

    auto* form = new QFormLayout;
    form->setObjectName(QStringLiteral("Frame7Form"));
    form->addRow(m_check1);
    form->addRow(label(QStringLiteral("lblProxyName"), QStringLiteral("プロキシサーバー名"), this), m_txtProxy);
    form->addRow(label(QStringLiteral("lblProxyPort"), QStringLiteral("ポート"), this), m_txtPport);
    form->addRow(m_check3);
    form->addRow(label(QStringLiteral("lblProxyUser"), QStringLiteral("ユーザー名"), this), m_txtpro[0]);
    form->addRow(label(QStringLiteral("lblProxyPassword"), QStringLiteral("パスワード"), this), m_txtpro[1]);
    form->addRow(m_chkPassive);
    body()->addLayout(form);

    addCloseButton(QStringLiteral("Frame7Close"));

    connect(m_check1, &QCheckBox::toggled, &m_options, &Options::setCheck1);
    connect(m_check3, &QCheckBox::toggled, &m_options, &Options::setCheck3);
    connect(m_chkPassive, &QCheckBox::toggled, &m_options, &Options::setChkPassive);
    connect(m_txtProxy, &QLineEdit::textEdited, &m_options, &Options::setTxtProxy);
    connect(m_txtPport, &QLineEdit::textEdited, &m_options, &Options::setTxtPport);
    for (int i = 0; i < 2; ++i) {
        connect(m_txtpro[i], &QLineEdit::textEdited, &m_options,
            [this, i](const QString& t) { m_options.setTxtpro(i, t); });
        FocusOutWatcher::watch(m_txtpro[i], [this, i] { m_options.Txtpro_LostFocus(i); });
    }
    FocusOutWatcher::watch(m_txtProxy, [this] { m_options.txtProxy_LostFocus(); });
    FocusOutWatcher::watch(m_txtPport, [this] { m_options.TxtPport_LostFocus(); });

    connect(&m_options, &Options::changed, this, &ProxyPanel::refresh);
    refresh();
}

void ProxyPanel::refresh()
{
    mirrorChecked(m_check1, m_options.Check1());
    mirrorChecked(m_check3, m_options.Check3());
    mirrorChecked(m_chkPassive, m_options.chkPassive());
    mirrorText(m_txtProxy, m_options.txtProxy());
    mirrorText(m_txtPport, m_options.TxtPport());
    for (int i = 0; i < 2; ++i)
        mirrorText(m_txtpro[i], m_options.Txtpro(i));
    m_check3->setEnabled(m_options.Check3Enabled());
    m_txtProxy->setEnabled(m_options.proxyFieldsEnabled());
    m_txtPport->setEnabled(m_options.proxyFieldsEnabled());
    m_txtpro[0]->setEnabled(m_options.proxyFieldsEnabled());
    m_txtpro[1]->setEnabled(m_options.proxyFieldsEnabled());
}
