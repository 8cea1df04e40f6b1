#pragma once

#include "gui/ui/movablepanel.h"

class Options;
class QCheckBox;
class QLineEdit;

// The proxy panel `Frame7`: proxy use, server, port, the proxy account and passive mode. The
// check boxes store at once; the text boxes keep their text in the settings list while typed and
// save when they lose focus.
class ProxyPanel : public MovablePanel {
    Q_OBJECT
public:
    ProxyPanel(Options& options, QWidget* parent);

private:
    void refresh();

    Options& m_options;
    QCheckBox* m_useProxy;
    QLineEdit* m_proxyHost;
    QLineEdit* m_proxyPort;
    QCheckBox* m_bypassProxyForLocal;
    QLineEdit* m_proxyCredentials[2];
    QCheckBox* m_passiveMode;
};
