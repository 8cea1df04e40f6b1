#pragma once

#include "core/sitetools/picturegrid.h"
#include "core/sitetools/thumbnailloader.h"

#include <QList>
#include <QWidget>

struct AppState;
class Dialogs;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class ThumbnailBox;

// The image viewer: the thumbnail box `Picture4`, the single picture `Image1` at its natural
// size in a scroll area, the caption `Label20`, the buttons "<-" (`Command36`), "->"
// (`Command13`) and the zoom button `Command15`, and the name box `Text4`. The name box can be
// one that the hosting viewer already has; without one the panel makes its own.
//
// The panel does not size its frame: the zoom button's caption tells which size the frame
// should take ("縮小": the large one), and frameSizeWanted() says when it changes.
class PicturePanel : public QWidget {
    Q_OBJECT
public:
    PicturePanel(AppState& state, Dialogs& dialogs, const QString& tempFolder, QLineEdit* nameBox = nullptr,
        QWidget* parent = nullptr);

    // Server pictures are fetched through the connection this gives at that moment.
    void setConnectionProvider(ThumbnailLoader::ConnectionProvider provider);

    // The thumbnails of the selected files, in their order; files that are no pictures are left
    // out. False, after the message, when there is no picture or too many.
    bool showThumbnails(const QList<PictureSource>& selected);
    // One picture at its natural size, without the grid (a double-click on a picture file).
    bool openPicture(const PictureSource& source);
    // A cell of the grid: its picture at natural size; an empty cell does nothing.
    void openCell(GridCell cell);
    void stepNext();
    void stepPrevious();
    void returnToGrid();
    void toggleZoom();

    bool largeFrame() const;
    bool isLoading() const { return m_loader.isRunning(); }
    bool isShowingPicture() const;
    const PictureGrid& grid() const { return m_grid; }
    GridCell currentCell() const { return m_current; }
    ThumbnailLoader& loader() { return m_loader; }

    ThumbnailBox* thumbnailBox() const { return m_thumbnails; }
    QLabel* picture() const { return m_picture; }
    QScrollArea* pictureArea() const { return m_pictureArea; }
    QLabel* caption() const { return m_caption; }
    QLineEdit* nameBox() const { return m_nameBox; }
    QPushButton* previousButton() const { return m_previous; }
    QPushButton* nextButton() const { return m_next; }
    QPushButton* zoomButton() const { return m_zoom; }

Q_SIGNALS:
    void frameSizeWanted(bool large);
    void thumbnailsFinished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showGrid();
    bool showSource(const PictureSource& source);
    void step(GridCell to);
    void onThumbnailReady(int index, const QImage& image);
    void onThumbnailFailed(int index);

    Dialogs& m_dialogs;
    ThumbnailLoader m_loader;
    PictureGrid m_grid;
    QList<PictureSource> m_sources; // by cell index
    GridCell m_current;
    ThumbnailBox* m_thumbnails;
    QScrollArea* m_pictureArea;
    QLabel* m_picture;
    QLabel* m_caption;
    QLineEdit* m_nameBox;
    QPushButton* m_previous;
    QPushButton* m_next;
    QPushButton* m_zoom;
};
