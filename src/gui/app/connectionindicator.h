#pragma once

#include <QWidget>
#include <array>

class QLabel;

// The connection indicator `Picture1(0..3)`: four small pictures, one visible at a time.
// 0 and 3 alternate while connected, 1 while connecting or after a lost connection, 2 after a
// disconnect.
class ConnectionIndicator : public QWidget {
    Q_OBJECT
public:
    explicit ConnectionIndicator(QWidget* parent = nullptr);

    // Hides all four pictures, then makes picture `index` visible.
    void showPicture(int index);
    // The visible picture, -1 when none is.
    int visiblePicture() const;
    // One step of the connection watch: 1 -> 3, 2 -> 1, 3 -> 0, 0 -> 3.
    void step();

    QLabel* picture(int index) const { return m_pictures.at(index); }

    static constexpr int Count = 4;

private:
    std::array<QLabel*, Count> m_pictures {};
};
