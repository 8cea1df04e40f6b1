#include "gui/settings/othersettingspanel.h"

#include "core/settings/options.h"
#include "gui/settings/focusoutwatcher.h"
#include "gui/settings/panelcontrols.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>

using namespace PanelControls;

OtherSettingsPanel::OtherSettingsPanel(Options& options, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame19"), QStringLiteral("Label18"), QStringLiteral("その他の設定"), parent)
    , m_options(options)
{
    static const char16_t* const option5Captions[3] = {
        u"ﾌｧｲﾙ名を其のままでアップロードする",
        u"ﾌｧｲﾙ名をすべて小文字でアップロードする",
        u"ﾌｧｲﾙ名をすべて大文字でアップロードする",
    };
    auto* nameCase = new QGroupBox(QStringLiteral("アップロード時のファイル名"), this);
    nameCase->setObjectName(QStringLiteral("Option5Group"));
    auto* nameCaseLayout = new QVBoxLayout(nameCase);
    auto* group = m_option5Group = new QButtonGroup(this);
    group->setObjectName(QStringLiteral("Option5Buttons"));
    for (int i = 0; i < 3; ++i) {
        m_uploadNameCase[i] = new QRadioButton(QString::fromUtf16(option5Captions[i]), nameCase);
        m_uploadNameCase[i]->setObjectName(QStringLiteral("Option5_%1").arg(i));
        group->addButton(m_uploadNameCase[i], i);
        nameCaseLayout->addWidget(m_uploadNameCase[i]);
    }
    body()->addWidget(nameCase);
    connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            m_options.setUploadNameCase(id);
    });

    m_skipExternalLinks
        = checkBox(QStringLiteral("Check8"), QStringLiteral("リンクチェックでブラウズは行わない"), this);
    body()->addWidget(m_skipExternalLinks);
    connect(m_skipExternalLinks, &QCheckBox::toggled, &m_options, &Options::setSkipExternalLinks);

    auto* mailRow = new QHBoxLayout;
    mailRow->addWidget(label(QStringLiteral("lblMail"), QStringLiteral("メールアドレス"), this));
    m_mailAddress = lineEdit(QStringLiteral("Text13"), this);
    mailRow->addWidget(m_mailAddress, 1);
    body()->addLayout(mailRow);
    connect(m_mailAddress, &QLineEdit::textEdited, &m_options, &Options::setMailAddress);
    FocusOutWatcher::watch(m_mailAddress, [this] { m_options.mailAddressEditingFinished(); });

    static const char16_t* const check10Captions[3] = {
        u"システムファイルは表示しない",
        u"ファイルの色分けをしない",
        u"リンクの無い場合そこでチェックを止める",
    };
    for (int i = 0; i < 3; ++i) {
        m_viewOptions[i] = checkBox(QStringLiteral("Check10_%1").arg(i), QString::fromUtf16(check10Captions[i]), this);
        body()->addWidget(m_viewOptions[i]);
        connect(
            m_viewOptions[i], &QCheckBox::toggled, &m_options, [this, i](bool on) { m_options.setViewOption(i, on); });
    }

    m_replaceThroughTemporary = checkBox(QStringLiteral("chkReplaceViaTemporary"),
        QStringLiteral("上書きアップロードは一時ファイル経由で置き換える"), this);
    m_replaceThroughTemporary->setToolTip(
        QStringLiteral("送信中や失敗したときに、サーバー上のページが途中までの内容にならないようにします。"));
    body()->addWidget(m_replaceThroughTemporary);
    connect(m_replaceThroughTemporary, &QCheckBox::toggled, &m_options, &Options::setReplaceThroughTemporary);

    auto* connectionsRow = new QHBoxLayout;
    auto* connectionsLabel = new QLabel(QStringLiteral("フォルダーや複数ファイルの転送に使う接続数"), this);
    m_transferConnections = new QSpinBox(this);
    m_transferConnections->setObjectName(QStringLiteral("spnConnections"));
    m_transferConnections->setRange(1, Options::MaxTransferConnections);
    m_transferConnections->setToolTip(
        QStringLiteral("2以上にすると、同じ設定で接続を増やして並行して転送します。1は今の接続だけを使います。"));
    connectionsLabel->setBuddy(m_transferConnections);
    connectionsRow->addWidget(connectionsLabel);
    connectionsRow->addWidget(m_transferConnections);
    connectionsRow->addStretch();
    body()->addLayout(connectionsRow);
    connect(m_transferConnections, &QSpinBox::valueChanged, &m_options, &Options::setTransferConnections);

    addCloseButton(QStringLiteral("Frame19Close"));

    connect(&m_options, &Options::changed, this, &OtherSettingsPanel::refresh);
    refresh();
}

void OtherSettingsPanel::refresh()
{
    {
        const QSignalBlocker blockGroup(m_option5Group);
        const QSignalBlocker blockButton(m_uploadNameCase[m_options.uploadNameCase()]);
        m_uploadNameCase[m_options.uploadNameCase()]->setChecked(true);
    }
    mirrorChecked(m_skipExternalLinks, m_options.skipExternalLinks());
    mirrorText(m_mailAddress, m_options.mailAddress());
    for (int i = 0; i < 3; ++i)
        mirrorChecked(m_viewOptions[i], m_options.viewOption(i));
    mirrorChecked(m_replaceThroughTemporary, m_options.replaceThroughTemporary());
    if (m_transferConnections->value() != m_options.transferConnections()) {
        const QSignalBlocker quiet(m_transferConnections);
        m_transferConnections->setValue(m_options.transferConnections());
    }
}
