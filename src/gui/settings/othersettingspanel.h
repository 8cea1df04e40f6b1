#pragma once

#include "gui/ui/movablepanel.h"

class Options;
class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

// The panel `Frame19` "その他の設定": upload file-name case, browsing in the link check, the mail
// address, the file display options, how uploads replace server files and how many connections a run uses.
class OtherSettingsPanel : public MovablePanel {
    Q_OBJECT
public:
    OtherSettingsPanel(Options& options, QWidget* parent);

private:
    void refresh();

    Options& m_options;
    QButtonGroup* m_option5Group;
    QRadioButton* m_uploadNameCase[3];
    QCheckBox* m_skipExternalLinks;
    QLineEdit* m_mailAddress;
    QCheckBox* m_viewOptions[3];
    QCheckBox* m_replaceThroughTemporary;
    QSpinBox* m_transferConnections;
};
