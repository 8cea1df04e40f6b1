#include "gui/transfer/modepanel.h"

#include "core/settings/options.h"
#include "core/transfer/moderules.h"
#include "gui/settings/focusoutwatcher.h"
#include "gui/settings/panelcontrols.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QListView>
#include <QPushButton>

using namespace PanelControls;

namespace {

QPushButton* command7(int index, const QString& caption, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QStringLiteral("Command7_%1").arg(index));
    return button;
}

QListView* extensionList(const QString& name, QAbstractItemModel* model, QWidget* parent)
{
    auto* view = new QListView(parent);
    view->setObjectName(name);
    view->setModel(model);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return view;
}

QList<int> selectedRows(QListView* view)
{
    QList<int> rows;
    const QModelIndexList selected = view->selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected)
        rows.append(index.row());
    return rows;
}

} // namespace

ModePanel::ModePanel(ModeRules& rules, Options& options, Dialogs& dialogs, QWidget* parent)
    : MovablePanel(QStringLiteral("Frame4"), QStringLiteral("Label2"), QStringLiteral("転送モード自動判別設定"), parent)
    , m_rules(rules)
    , m_options(options)
    , m_dialogs(dialogs)
    , m_textExtensions(extensionList(QStringLiteral("List3"), rules.textExtensionModel(), this))
    , m_neverSend(extensionList(QStringLiteral("List4"), rules.neverSendExtensionModel(), this))
    , m_text1 { lineEdit(QStringLiteral("Text1_0"), this), lineEdit(QStringLiteral("Text1_1"), this) }
    , m_allAscii(checkBox(QStringLiteral("Check5"), QStringLiteral("全てASCIIで"), this))
    , m_allBinary(checkBox(QStringLiteral("Check6"), QStringLiteral("全てBinaryで"), this))
    , m_codeConversion { checkBox(QStringLiteral("Check11_0"), QStringLiteral("SJIS -> EUC変換"), this),
        checkBox(QStringLiteral("Check11_1"), QStringLiteral("SJIS <- EUC変換"), this) }
{
    auto* close = command7(4, QStringLiteral("X"), this);
    close->setFixedWidth(28);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(close);
    body()->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setObjectName(QStringLiteral("Frame4Grid"));
    grid->addWidget(label(QStringLiteral("lblList3"), QStringLiteral("Txtモードで転送"), this), 0, 0, 1, 2);
    grid->addWidget(label(QStringLiteral("lblList4"), QStringLiteral("転送しないﾌｧｲﾙ"), this), 0, 2, 1, 2);
    grid->addWidget(m_textExtensions, 1, 0, 1, 2);
    grid->addWidget(m_neverSend, 1, 2, 1, 2);
    auto* add3 = command7(5, QStringLiteral("追加"), this);
    auto* add4 = command7(6, QStringLiteral("追加"), this);
    grid->addWidget(m_text1[0], 2, 0);
    grid->addWidget(add3, 2, 1);
    grid->addWidget(m_text1[1], 2, 2);
    grid->addWidget(add4, 2, 3);
    body()->addLayout(grid);

    auto* remove = command7(7, QStringLiteral("削除"), this);
    auto* defaults = command7(2, QStringLiteral("ﾃﾞﾌｫﾙﾄに戻す"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(remove);
    buttons->addWidget(defaults);
    buttons->addStretch();
    body()->addLayout(buttons);

    auto* switches = new QHBoxLayout;
    switches->addWidget(m_allAscii);
    switches->addWidget(m_allBinary);
    switches->addStretch();
    body()->addLayout(switches);

    auto* conversion = new QHBoxLayout;
    conversion->addWidget(m_codeConversion[0]);
    conversion->addWidget(m_codeConversion[1]);
    conversion->addStretch();
    body()->addLayout(conversion);

    connect(close, &QPushButton::clicked, this, &ModePanel::onCloseClicked);
    connect(add3, &QPushButton::clicked, this, [this] { addEntry(0); });
    connect(add4, &QPushButton::clicked, this, [this] { addEntry(1); });
    connect(m_text1[0], &QLineEdit::returnPressed, this, [this] { addEntry(0); });
    connect(m_text1[1], &QLineEdit::returnPressed, this, [this] { addEntry(1); });
    connect(remove, &QPushButton::clicked, this, &ModePanel::deleteSelected);
    connect(defaults, &QPushButton::clicked, &m_rules, &ModeRules::restoreDefaults);
    connect(m_allAscii, &QCheckBox::toggled, &m_rules, &ModeRules::setAllAscii);
    connect(m_allBinary, &QCheckBox::toggled, &m_rules, &ModeRules::setAllBinary);
    for (int i = 0; i < 2; ++i) {
        connect(
            m_codeConversion[i], &QCheckBox::toggled, &m_options, [this, i](bool on) { m_options.setCodeConversion(i, on ? 1 : 0); });
        FocusOutWatcher::watch(m_codeConversion[i], [this, i] { m_options.codeConversionEditingFinished(i); });
    }

    connect(&m_rules, &ModeRules::switchesChanged, this, &ModePanel::refresh);
    connect(&m_options, &Options::changed, this, &ModePanel::refresh);
    refresh();
}

void ModePanel::onCloseClicked()
{
    if (m_rules.mayClose(m_dialogs))
        hide();
}

void ModePanel::addEntry(int list)
{
    const QString text = m_text1[list]->text();
    const bool added = list == 0 ? m_rules.addTextExtension(text) : m_rules.addNeverSendExtension(text);
    if (added)
        m_text1[list]->clear();
}

void ModePanel::deleteSelected() { m_rules.deleteEntries(selectedRows(m_textExtensions), selectedRows(m_neverSend)); }

void ModePanel::refresh()
{
    mirrorChecked(m_allAscii, m_rules.allAscii());
    mirrorChecked(m_allBinary, m_rules.allBinary());
    m_textExtensions->setEnabled(m_rules.textListEnabled());
    for (int i = 0; i < 2; ++i)
        mirrorChecked(m_codeConversion[i], m_options.codeConversion(i) == 1);
}
