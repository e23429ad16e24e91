#include "platform/widgets/folder_list.h"

#include "platform/os/native_path.h"
#include "platform/widgets/error_text.h"
#include "platform/widgets/folder_model.h"
#include "platform/widgets/shown_name.h"
#include "platform/widgets/volume_service.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>

#include <mutex>

namespace tessaro {
namespace {

// How long the keys must rest before a keyboard move is reported: holding Down through a
// tree passes a folder every 30 ms or so.
constexpr int KeyRestMs = 250;

// Both trees show the one folder icon, looked up once. Never freed: it would outlive the
// application, and the process ends right after.
const QIcon& folderIcon()
{
    static const QIcon* const icon = new QIcon(QApplication::style()->standardIcon(QStyle::SP_DirIcon));
    return *icon;
}

// How long a folder's changes on disk must rest before it is read again: copying a hundred
// pictures into it changes it a hundred times.
constexpr int ChangesRestMs = 100;

// Marks read by one worker in one go: a screenful, so that scrolling on soon reads the rows
// then shown rather than the ones passed.
constexpr int MarksPerBatch = 48;

// The folder icon with a small emblem in its lower right corner: a picture (a framed square
// of sky and ground) for a decorated folder, a red cross for a broken decoration. Drawn on
// the folder icon's own pixmaps at each size in device pixels, in proportion to the pixmap
// the style gives (which need not be square, nor the size asked for), so that at any device
// pixel ratio the icon chosen shows the emblem at the same place and share.
QIcon markedIcon(bool broken)
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 96}) {
        QPixmap pixmap = folderIcon().pixmap(QSize(size, size), 1.0);
        const QRect box = pixmap.rect();
        const int side = std::min(box.width(), box.height()) * 5 / 8;
        const QRect emblem(box.right() + 1 - side, box.bottom() + 1 - side, side - 1, side - 1);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, std::max(1, side / 10)));
        if (broken) {
            painter.setBrush(QColor(0xC6, 0x28, 0x28));
            painter.drawRoundedRect(emblem, side / 8.0, side / 8.0);
            const QRect cross = emblem.adjusted(side / 4, side / 4, -side / 4, -side / 4);
            painter.drawLine(cross.topLeft(), cross.bottomRight());
            painter.drawLine(cross.topRight(), cross.bottomLeft());
        } else {
            painter.setBrush(QColor(0x42, 0x8B, 0xCA));
            painter.drawRect(emblem);
            painter.fillRect(emblem.adjusted(1, side / 2, 0, 0), QColor(0x5C, 0xA0, 0x3C));
        }
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

FolderList::FolderList(QWidget* parent)
    : QTreeView(parent)
    , m_model(new FolderModel(folderIcon(), this))
    , m_volumes(volumeService())
    , m_watch(this)
{
    setModel(m_model);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setIndentation(12);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A click has opened the folder already; the second click of a double-click must not
    // close it again, only open one the user had closed.
    setExpandsOnDoubleClick(false);
    connect(this, &QTreeView::doubleClicked, this, &QTreeView::expand);
    header()->setStretchLastSection(false);
    m_rest.setSingleShot(true);
    m_rest.setInterval(KeyRestMs);
    m_changesRest.setSingleShot(true);
    m_changesRest.setInterval(ChangesRestMs);

    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &FolderList::userMoved);
    connect(&m_rest, &QTimer::timeout, this, &FolderList::rest);
    // The picture the current folder's decoration names may come or go.
    connect(&m_pictureWatch, &FolderWatch::changed, this, [this] {
        m_recheck.insert(m_path);
        rowsShownLater();
    });
    m_silentCheck.setInterval(AnswerTimeLimit);
    connect(&m_silentCheck, &QTimer::timeout, this, &FolderList::checkSilentVolumes);
    connect(&m_watch, &FolderWatch::changed, this, [this](const QString& folder) {
        // Its desktop.ini may be what changed.
        if (m_model->mark(folder))
            forgetMark(folder);
        if (!m_changed.contains(folder))
            m_changed << folder;
        m_changesRest.start();
    });
    connect(&m_changesRest, &QTimer::timeout, this, [this] {
        for (const QString& folder : std::exchange(m_changed, {}))
            reread(folder, false);
    });
    // Queued: the model reports from inside a read, which the view may have asked for
    // in the middle of laying itself out.
    connect(m_model, &FolderModel::unanswered, this, [this](const QString& folder) {
        readFailed(folder, describeNoAnswer());
    }, Qt::QueuedConnection);
    connect(m_model, &FolderModel::lost, this, [this](const QString& folder) {
        if (m_path == folder || m_path.startsWith(joinPath(folder, QString())))
            moveTo(m_path, root(), Move::Check);
    }, Qt::QueuedConnection);

    // Measuring every row on every change costs more than the change: once per turn of the
    // event loop is enough.
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &FolderList::sizeColumnLater);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FolderList::sizeColumnLater);
    connect(this, &QTreeView::expanded, this, &FolderList::sizeColumnLater);
    connect(this, &QTreeView::collapsed, this, &FolderList::sizeColumnLater);
    // Whatever changes the rows shown changes the folders watched and the marks to read.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &FolderList::rowsShownLater);
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(m_model, signal, this, &FolderList::rowsShownLater);
    connect(m_model, &QAbstractItemModel::modelReset, this, &FolderList::rowsShownLater);
    connect(this, &QTreeView::expanded, this, &FolderList::rowsShownLater);
    connect(this, &QTreeView::collapsed, this, &FolderList::rowsShownLater);
    // An opened folder may turn out to have no subfolders, at once or once read in the
    // background. Collapsed on the next turn: inside the expansion that read it, a collapse
    // would leave the view stuck in its expanding state, deaf to clicks.
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex& index, const QModelIndex&, const QList<int>& roles) {
        if (!roles.isEmpty())
            return; // a mark
        QTimer::singleShot(0, this, [this, folder = QPersistentModelIndex(index)] { collapseIfEmpty(folder); });
    });
}

FolderList::~FolderList() = default;

QString FolderList::root() const
{
    return m_model->root();
}

bool FolderList::setPath(const QString& path)
{
    return moveTo(path, QString(), Move::Code);
}

bool FolderList::setDrive(const QString& root)
{
    const QString cwd = QDir::toNativeSeparators(QDir::currentPath());
    const bool onDrive = toQString(m_volumes.rootOf(toPath(cwd))) == root;
    return moveTo(onDrive ? cwd : root, root, Move::Code);
}

// Asks the volume, on a worker, for what the move needs, and makes the move once it has
// answered. `root` empty: the tree's own when `path` lies below it, else its volume's.
bool FolderList::moveTo(const QString& path, const QString& root, Move how)
{
    if (path.isEmpty())
        return false;
    const QString target = absoluteFolder(path);
    std::optional<FolderWay> way = root.isEmpty() ? m_model->wayTo(this->root(), target) : std::nullopt;
    if (!way)
        way = m_model->wayTo(root.isEmpty() ? toQString(m_volumes.rootOf(toPath(target))) : root, target);
    if (!way)
        return false;
    if (how == Move::Code && target == m_path && way->root == this->root()) {
        m_walk.cancel();
        return true;
    }
    // Code opens the folder it goes to; a user's move has opened it, or leaves it closed.
    way->climb = how != Move::Code;
    if (how == Move::Check)
        way->unread.back() = false;

    auto shared = std::make_shared<FolderWay>(std::move(*way));
    const QScopedValueRollback onTheSpot(m_onTheSpot, true);
    const bool ended = m_walk.start(
        [shared](VolumeTask::Control& control) { FolderModel::readWay(*shared, control); },
        [this, shared, how, target] {
            m_walkFound = arrive(*shared, how);
            if (!m_walkFound && !m_onTheSpot)
                report(tr("フォルダ %1 がありません。").arg(target));
        },
        [this, target] { readFailed(target, describeNoAnswer()); });
    return !ended || m_walkFound;
}

bool FolderList::arrive(FolderWay& way, Move how)
{
    if (way.reached < 0) {
        // Even the drive is gone: the system's is always there.
        if (how == Move::Check)
            moveTo(toQString(m_volumes.systemRoot()), QString(), Move::Code);
        return false;
    }
    const bool climbed = way.reached < way.names.size();
    if (how == Move::Check && !climbed)
        return true;
    const QScopedValueRollback moving(m_moving, true);
    const QModelIndex index = m_model->takeWay(way);
    if (how == Move::Click && !climbed) {
        expand(index);
        return true;
    }
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
        expand(above);
    expand(index);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    centre();
    setCurrentPath(m_model->pathOf(index));
    m_rest.stop();
    Q_EMIT changed();
    return true;
}

void FolderList::mousePressEvent(QMouseEvent* event)
{
    // The press selects the row under the pointer only after the current row changed:
    // opening or scrolling in between would have it select another row than the one
    // clicked. So the move is made once the press is through.
    {
        const QScopedValueRollback inEvent(m_inUserEvent, true);
        QTreeView::mousePressEvent(event);
    }
    settleUserMove(Move::Click);
}

void FolderList::keyPressEvent(QKeyEvent* event)
{
    const bool shiftF10 = event->key() == Qt::Key_F10 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::ShiftModifier;
    if (event->key() == Qt::Key_Menu || shiftF10) {
        const QRect row = visualRect(currentIndex());
        const QPoint at = row.isValid() ? row.bottomLeft() : QPoint();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, viewport()->mapToGlobal(at));
        contextMenuEvent(&menu);
        return;
    }
    if (event->key() == Qt::Key_F5 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        refresh();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        expand(currentIndex());
        if (m_rest.isActive()) {
            m_rest.stop();
            rest();
        }
        return;
    }
    {
        const QScopedValueRollback inEvent(m_inUserEvent, true);
        QTreeView::keyPressEvent(event);
    }
    settleUserMove(Move::Check);
}

void FolderList::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = event->reason() == QContextMenuEvent::Mouse ? indexAt(event->pos()) : currentIndex();
    if (!index.isValid() || !m_model->exact(index))
        return;
    // On the row, not where the pointer rests: the Menu key has no pointer.
    const QPoint at = event->reason() == QContextMenuEvent::Mouse ? event->pos() : visualRect(index).bottomLeft();
    Q_EMIT menuRequested(m_model->pathOf(index), viewport()->mapToGlobal(at));
}

void FolderList::userMoved(const QModelIndex& current)
{
    if (m_moving || !current.isValid())
        return;
    m_userMove = current;
    // Moved by other code (accessibility, a test): as by a click.
    if (!m_inUserEvent)
        settleUserMove(Move::Click);
}

void FolderList::settleUserMove(Move how)
{
    const QModelIndex index = std::exchange(m_userMove, QPersistentModelIndex());
    if (!index.isValid())
        return;
    if (!m_model->exact(index)) {
        {
            const QScopedValueRollback moving(m_moving, true);
            selectionModel()->setCurrentIndex(m_model->find(m_path), QItemSelectionModel::ClearAndSelect);
        }
        report(tr("フォルダを開けません。\n%1\nフォルダ名をこのシステムの文字コードで表せません。").arg(m_model->pathOf(index)));
        return;
    }
    // A move still waiting for its volume gives way to the user's.
    m_walk.cancel();
    m_centreWhenShown = false;
    setCurrentPath(m_model->pathOf(index));
    if (how == Move::Click) {
        m_rest.stop();
        Q_EMIT changed();
        moveTo(m_path, root(), Move::Click);
    } else {
        m_rest.start();
    }
}

// The keys rest on a folder: report it, and make sure it is still there.
void FolderList::rest()
{
    Q_EMIT changed();
    moveTo(m_path, root(), Move::Check);
}

void FolderList::setCurrentPath(const QString& path)
{
    m_path = path;
    setToolTip(shownName(path));
    if (m_markReader) {
        // Selected, it is looked at again: its picture may have come or gone meanwhile.
        m_recheck.insert(path);
        watchPicture();
    }
    rowsShownLater();
}

void FolderList::setMarkReader(MarkReader reader)
{
    m_markReader = std::move(reader);
    m_model->setMarkIcons(markedIcon(false), markedIcon(true));
    rowsShownLater();
}

const FolderMark* FolderList::mark(const QString& path) const
{
    return m_model->mark(path);
}

void FolderList::forgetMark(const QString& path)
{
    // A read under way may have read it before the change.
    if (m_markBatch.contains(path)) {
        m_markTask.cancel();
        m_markBatch.clear();
    }
    m_recheck.remove(path);
    m_model->forgetMark(path);
    Q_EMIT markChanged(path);
    rowsShownLater();
}

bool FolderList::marksPending() const
{
    return (m_markReader && (m_shownQueued || m_columnQueued)) || m_markTask.busy() || !m_markQueue.isEmpty();
}

// Once per turn of the event loop, after the view has laid out the rows it now shows.
void FolderList::rowsShownLater()
{
    onceLater(m_shownQueued, [this] {
        // The column is measured first, and asks again.
        if (m_columnQueued)
            return;
        if (m_markReader)
            markShown();
        watchShown();
    });
}

void FolderList::markShown()
{
    QStringList wanted;
    QSet<QString> shown;
    const auto want = [&](const QString& path, bool again) {
        if (path.isEmpty() || m_markBatch.contains(path) || wanted.contains(path))
            return;
        if ((again || !m_model->mark(path)) && (m_silent.isEmpty() || !m_silent.contains(toQString(m_volumes.rootOf(toPath(path))))))
            wanted << path;
    };
    want(m_path, m_recheck.contains(m_path));
    const int bottom = viewport()->height();
    for (QModelIndex index = indexAt(QPoint(0, 0)); index.isValid() && visualRect(index).top() < bottom; index = indexBelow(index)) {
        if (!m_model->exact(index))
            continue;
        const QString path = m_model->pathOf(index);
        shown.insert(path);
        // A row shown again is looked at again: its picture may have come or gone meanwhile.
        want(path, !m_shown.contains(path) || m_recheck.contains(path));
    }
    m_shown = shown;
    // Rows scrolled away meanwhile are no longer wanted.
    m_markQueue = wanted;
    if (!m_markTask.busy())
        readMarks();
}

namespace {

// The marks of one batch as a worker reads them, for the window to take as far as they go
// should a folder not answer.
struct MarksRead {
    std::mutex mutex;
    std::vector<FolderMark> marks;
    std::atomic<bool> returned = false; // the worker is done with the batch, answered or not
};

} // namespace

void FolderList::readMarks()
{
    if (m_markQueue.isEmpty())
        return;
    m_markBatch = m_markQueue.mid(0, MarksPerBatch);
    m_markQueue.remove(0, m_markBatch.size());
    auto read = std::make_shared<MarksRead>();
    m_markTask.start(
        [reader = m_markReader, batch = m_markBatch, read](VolumeTask::Control& control) {
            for (const QString& folder : batch) {
                if (control.cancelled())
                    break;
                FolderMark mark = reader(folder);
                {
                    const std::lock_guard lock(read->mutex);
                    read->marks.push_back(std::move(mark));
                }
                control.advance(1);
            }
            read->returned = true;
        },
        [this, read] {
            const QStringList batch = std::exchange(m_markBatch, {});
            const std::lock_guard lock(read->mutex);
            for (std::size_t i = 0; i < read->marks.size(); ++i)
                setMark(batch[static_cast<qsizetype>(i)], std::move(read->marks[i]));
            readMarks();
        },
        [this, read] {
            // The folders read in time keep their marks; the one that did not answer takes none
            // of its siblings' with it, and those after it are asked again while shown.
            const QStringList batch = std::exchange(m_markBatch, {});
            std::vector<FolderMark> marks;
            {
                const std::lock_guard lock(read->mutex);
                marks = read->marks;
            }
            for (std::size_t i = 0; i < marks.size(); ++i)
                setMark(batch[static_cast<qsizetype>(i)], std::move(marks[i]));
            if (marks.size() < static_cast<std::size_t>(batch.size()))
                markUnanswered(batch[static_cast<qsizetype>(marks.size())], std::shared_ptr<const std::atomic<bool>>(read, &read->returned));
            rowsShownLater();
        },
        VolumeTask::Wait::Never);
}

void FolderList::setMark(const QString& path, FolderMark mark)
{
    m_recheck.remove(path);
    m_model->setMark(path, std::move(mark));
    Q_EMIT markChanged(path);
    if (path == m_path)
        watchPicture();
}

// The folder shows plain, and its volume is not asked again until the read under way returns.
void FolderList::markUnanswered(const QString& folder, const std::shared_ptr<const std::atomic<bool>>& returned)
{
    m_silent.insert(toQString(m_volumes.rootOf(toPath(folder))), returned);
    m_unanswered << folder;
    setMark(folder, {});
    m_silentCheck.start();
}

// A volume whose read has returned answers again: its folders are read again while shown.
void FolderList::checkSilentVolumes()
{
    m_silent.removeIf([](const auto& volume) { return volume.value()->load(); });
    if (m_silent.isEmpty())
        m_silentCheck.stop();
    QStringList still;
    for (const QString& folder : std::exchange(m_unanswered, {})) {
        if (m_silent.contains(toQString(m_volumes.rootOf(toPath(folder)))))
            still << folder;
        else
            forgetMark(folder);
    }
    m_unanswered = still;
}

// Watches the folder on the way to the picture the current folder's decoration names.
void FolderList::watchPicture()
{
    const FolderMark* mark = m_model->mark(m_path);
    const QStringList wanted = mark && !mark->watch.isEmpty() ? QStringList{mark->watch} : QStringList();
    if (m_pictureWatch.folders() != wanted)
        m_pictureWatch.setFolders(wanted);
}

void FolderList::centre()
{
    // Until the list is shown it has not its size, and the middle is not known.
    if (!isVisible()) {
        m_centreWhenShown = true;
        return;
    }
    m_centreWhenShown = false;
    scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    // The list is narrow: keep the tree's left edge in view rather than the deepest name.
    horizontalScrollBar()->setValue(0);
}

// Measuring the names and reading the marks are the costliest steps of a list's start, and
// its first picture needs neither: a list on the screen waits with both until that picture
// has reached it. Meanwhile the column is as wide as the view.
bool FolderList::waitsForFirstPaint() const
{
    return isVisible() && !m_painted;
}

void FolderList::paintEvent(QPaintEvent* event)
{
    if (!m_painted && m_columnQueued && header()->sectionSize(0) < viewport()->width())
        header()->resizeSection(0, viewport()->width());
    QTreeView::paintEvent(event);
    if (std::exchange(m_painted, true) || m_waiting.empty())
        return;
    QTimer::singleShot(0, this, [this] {
        for (const auto& step : std::exchange(m_waiting, {}))
            step();
    });
}

// Runs `step` on a later turn of the event loop, once however often asked meanwhile (while
// `queued`); a list waiting for its first paint runs it once that paint has reached the screen.
void FolderList::onceLater(bool& queued, std::function<void()> step)
{
    if (std::exchange(queued, true))
        return;
    QMetaObject::invokeMethod(this, [this, &queued, step = std::move(step)] {
        auto run = [&queued, step] {
            queued = false;
            step();
        };
        if (waitsForFirstPaint())
            m_waiting.push_back(std::move(run));
        else
            run();
    }, Qt::QueuedConnection);
}

void FolderList::sizeColumnLater()
{
    onceLater(m_columnQueued, [this] {
        resizeColumnToContents(0);
        // The scroll bar the new width may bring comes on the next turn and hides a row: the
        // rows shown are taken after it.
        updateGeometries();
        rowsShownLater();
    });
}

void FolderList::readFailed(const QString& folder, const QString& why)
{
    collapse(m_model->find(folder));
    report(tr("フォルダ %1 を読めません。\n%2").arg(folder, why));
}

// Later, from the event loop: the message may well be a modal dialog, which must not run
// inside a read's report or a mouse press.
void FolderList::report(const QString& message)
{
    QMetaObject::invokeMethod(this, [this, message] { Q_EMIT failed(message); }, Qt::QueuedConnection);
}

// An open folder without subfolders would be announced as expanded, with nothing in it.
void FolderList::collapseIfEmpty(const QModelIndex& index)
{
    if (isExpanded(index) && !m_model->hasChildren(index))
        collapse(index);
}

// The folders whose listings are on the screen (those holding the rows shown), the current
// folder and the one holding it: few, and only while the list is shown. A folder that starts
// being watched long after it was listed may have changed meanwhile: it is read again.
void FolderList::watchShown()
{
    QStringList folders;
    const auto add = [&](const QModelIndex& index) {
        if (index.isValid() && m_model->exact(index) && !folders.contains(m_model->pathOf(index)))
            folders << m_model->pathOf(index);
    };
    if (isVisible()) {
        if (!m_path.isEmpty())
            folders << m_path;
        add(m_model->find(m_path).parent());
        const int bottom = viewport()->height();
        for (QModelIndex index = indexAt(QPoint(0, 0)); index.isValid() && visualRect(index).top() < bottom; index = indexBelow(index))
            add(index.parent());
    }
    const std::uint64_t listedBefore = std::exchange(m_listingsWatched, m_model->lastListing());
    for (const QString& folder : std::as_const(folders)) {
        const std::uint64_t listing = m_model->listing(m_model->find(folder));
        if (!m_watch.folders().contains(folder) && listing > 0 && listing <= listedBefore)
            reread(folder, false);
    }
    m_watch.setFolders(folders);
}

void FolderList::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    if (m_centreWhenShown)
        centre();
    rowsShownLater();
}

void FolderList::hideEvent(QHideEvent* event)
{
    QTreeView::hideEvent(event);
    rowsShownLater();
}

// Reads the subfolders of `folder` again, where the tree has listed them, and takes them in;
// `tell`: the user asked, and hears should the volume not answer.
void FolderList::reread(const QString& folder, bool tell)
{
    const QModelIndex index = m_model->find(folder);
    if (!m_model->listing(index)) {
        // Not listed: only whether it is still there matters, for the current folder.
        if (folder == m_path && !m_walk.busy())
            moveTo(m_path, root(), Move::Check);
        return;
    }
    std::function<void()> unanswered;
    if (tell)
        unanswered = [this, folder] { readFailed(folder, describeNoAnswer()); };
    m_model->reread(index, [this, folder](std::optional<FolderEntries> found) { takeListing(folder, std::move(found)); }, unanswered);
}

void FolderList::takeListing(const QString& folder, std::optional<FolderEntries> found)
{
    // The current folder gone, or one on the way to it: up to the nearest one still there, as
    // when the current folder is found gone otherwise. Later: this runs inside the read.
    const QString below = joinPath(folder, QString());
    const QString next = m_path.startsWith(below) ? m_path.mid(below.size()).section(QDir::separator(), 0, 0) : QString();
    const bool onTheWay = !next.isEmpty() && found && std::none_of(found->begin(), found->end(), [&](const FolderEntry& e) { return e.name == next; });
    if ((!found && (m_path == folder || !next.isEmpty())) || onTheWay) {
        QMetaObject::invokeMethod(this, [this] {
            if (!m_walk.busy())
                moveTo(m_path, root(), Move::Check);
        }, Qt::QueuedConnection);
        return;
    }
    // Gone, elsewhere in the tree: the folder holding it says so.
    if (!found) {
        const QModelIndex above = m_model->find(folder).parent();
        if (above.isValid())
            QMetaObject::invokeMethod(this, [this, above = m_model->pathOf(above)] { reread(above, false); }, Qt::QueuedConnection);
        return;
    }
    const QScopedValueRollback moving(m_moving, true);
    m_model->update(m_model->find(folder), std::move(*found));
}

// F5, as in a file manager: the folders open at and below the current row are read again,
// and their marks with them.
void FolderList::refresh()
{
    const QModelIndex top = currentIndex();
    if (!top.isValid())
        return;
    if (m_markReader) {
        m_markTask.cancel();
        m_markBatch.clear();
        for (const QString& forgotten : m_model->forgetMarks(m_model->pathOf(top)))
            Q_EMIT markChanged(forgotten);
        rowsShownLater();
    }
    QStringList open;
    for (QModelIndexList pending{top}; !pending.isEmpty();) {
        const QModelIndex index = pending.takeLast();
        if (index != top && !isExpanded(index))
            continue;
        open << m_model->pathOf(index);
        for (int row = 0; row < m_model->rowCount(index); ++row)
            pending << m_model->index(row, 0, index);
    }
    for (const QString& folder : std::as_const(open))
        reread(folder, true);
}

} // namespace tessaro
