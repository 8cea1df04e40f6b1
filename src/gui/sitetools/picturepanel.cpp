#include "gui/sitetools/picturepanel.h"

#include "core/app/dialogs.h"
#include "gui/sitetools/thumbnailbox.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

const QString Enlarge = QStringLiteral("拡大");
const QString Reduce = QStringLiteral("縮小");

// Thumbnails are decoded at least this large, so a frame made larger later still shows them sharp.
constexpr QSize MinimumThumbnail(96, 72);

} // namespace

PicturePanel::PicturePanel(
    AppState& state, Dialogs& dialogs, const QString& tempFolder, QLineEdit* nameBox, QWidget* parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_loader(state, tempFolder)
    , m_thumbnails(new ThumbnailBox(this))
    , m_pictureArea(new QScrollArea(this))
    , m_picture(new QLabel)
    , m_caption(new QLabel(this))
    , m_nameBox(nameBox)
    , m_previous(new QPushButton(QStringLiteral("<-"), this))
    , m_next(new QPushButton(QStringLiteral("->"), this))
    , m_zoom(new QPushButton(Enlarge, this))
{
    setObjectName(QStringLiteral("PicturePanel"));
    m_picture->setObjectName(QStringLiteral("Image1"));
    m_picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture->installEventFilter(this);
    m_pictureArea->setObjectName(QStringLiteral("Image1Area"));
    m_pictureArea->setWidget(m_picture);
    m_pictureArea->setWidgetResizable(false);
    m_pictureArea->hide();
    m_caption->setObjectName(QStringLiteral("Label20"));
    m_previous->setObjectName(QStringLiteral("Command36"));
    m_next->setObjectName(QStringLiteral("Command13"));
    m_zoom->setObjectName(QStringLiteral("Command15"));

    auto* top = new QHBoxLayout;
    top->addWidget(m_caption, 1);
    if (!m_nameBox) {
        m_nameBox = new QLineEdit(this);
        m_nameBox->setObjectName(QStringLiteral("Text4"));
        top->addWidget(m_nameBox, 1);
    }
    top->addWidget(m_previous);
    top->addWidget(m_next);
    top->addWidget(m_zoom);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addLayout(top);
    column->addWidget(m_thumbnails, 1);
    column->addWidget(m_pictureArea, 1);

    connect(m_thumbnails, &ThumbnailBox::cellPressed, this, &PicturePanel::openCell);
    connect(m_next, &QPushButton::clicked, this, &PicturePanel::stepNext);
    connect(m_previous, &QPushButton::clicked, this, &PicturePanel::stepPrevious);
    connect(m_zoom, &QPushButton::clicked, this, &PicturePanel::toggleZoom);
    connect(&m_loader, &ThumbnailLoader::thumbnailReady, this, &PicturePanel::onThumbnailReady);
    connect(&m_loader, &ThumbnailLoader::thumbnailFailed, this, &PicturePanel::onThumbnailFailed);
    connect(&m_loader, &ThumbnailLoader::finished, this, &PicturePanel::thumbnailsFinished);
    showGrid();
}

void PicturePanel::setConnectionProvider(ThumbnailLoader::ConnectionProvider provider)
{
    m_loader.setConnectionProvider(std::move(provider));
}

bool PicturePanel::showThumbnails(const QList<PictureSource>& selected)
{
    QList<PictureSource> pictures;
    for (const PictureSource& source : selected) {
        if (PictureFiles::isPicture(source.name()))
            pictures.append(source);
    }
    const QString refusal = PictureGrid::refusal(int(pictures.size()));
    if (!refusal.isEmpty()) {
        m_dialogs.message(refusal, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    m_loader.cancel();
    m_sources = pictures;
    m_grid = PictureGrid::forCount(int(pictures.size()));
    m_current = GridCell();
    m_zoom->setText(m_grid.zoomCaption());
    Q_EMIT frameSizeWanted(largeFrame());
    show();
    showGrid();
    m_thumbnails->setGrid(m_grid);
    if (layout())
        layout()->activate();
    m_loader.start(m_sources, m_grid.cellSize(m_thumbnails->size()).expandedTo(MinimumThumbnail));
    return true;
}

bool PicturePanel::openPicture(const PictureSource& source)
{
    show();
    return showSource(source);
}

void PicturePanel::openCell(GridCell cell)
{
    if (m_grid.nameAt(cell).isEmpty())
        return;
    m_current = cell;
    showSource(m_sources.at(m_grid.indexOf(cell)));
}

void PicturePanel::step(GridCell to)
{
    if (m_grid.isEmpty())
        return;
    // An empty cell becomes current all the same, so stepping back returns to the last picture.
    m_current = to;
    if (!m_grid.nameAt(to).isEmpty())
        showSource(m_sources.at(m_grid.indexOf(to)));
}

void PicturePanel::stepNext() { step(m_grid.next(m_current)); }

void PicturePanel::stepPrevious() { step(m_grid.previous(m_current)); }

bool PicturePanel::showSource(const PictureSource& source)
{
    QString error;
    const QImage image = m_loader.loadFull(source, &error);
    if (image.isNull()) {
        m_dialogs.message(error, Dialogs::Buttons::Ok, Dialogs::Icon::Exclamation);
        return false;
    }
    m_picture->setPixmap(QPixmap::fromImage(image));
    m_picture->resize(image.size());
    m_nameBox->setText(source.name());
    m_thumbnails->hide();
    m_pictureArea->show();
    m_caption->setText(QStringLiteral("画像をクリックするとサムネイルに戻ります"));
    return true;
}

void PicturePanel::returnToGrid() { showGrid(); }

void PicturePanel::showGrid()
{
    m_pictureArea->hide();
    m_thumbnails->show();
    m_caption->setText(QStringLiteral("画像をクリックすると元の大きさで表示します"));
}

bool PicturePanel::isShowingPicture() const { return !m_pictureArea->isHidden(); }

bool PicturePanel::largeFrame() const { return m_zoom->text() == Reduce; }

void PicturePanel::toggleZoom()
{
    m_zoom->setText(largeFrame() ? Enlarge : Reduce);
    Q_EMIT frameSizeWanted(largeFrame());
}

void PicturePanel::onThumbnailReady(int index, const QImage& image)
{
    m_grid.setName(m_grid.cellOf(index), m_sources.at(index).name());
    m_thumbnails->setThumbnail(index, image);
}

void PicturePanel::onThumbnailFailed(int index)
{
    // The cell stays blank but keeps the name, so a click says why nothing is shown.
    m_grid.setName(m_grid.cellOf(index), m_sources.at(index).name());
}

bool PicturePanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_picture && event->type() == QEvent::MouseButtonPress) {
        returnToGrid();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
