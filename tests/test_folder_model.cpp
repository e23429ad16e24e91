// The folder tree's model on a small tree of its own, checked by Qt's model tester after
// every step: rooted anywhere, read lazily, what a path leads through is added, and a
// listing that comes after a folder on the way was added goes in around it.

#include "platform/widgets/folder_model.h"

#include "gui_support.h"

#include <QAbstractItemModelTester>
#include <QtTest>

#include <optional>

using namespace tessaro;
using namespace tessaro::test;

namespace {

QStringList namesBelow(const FolderModel& model, const QModelIndex& parent)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(parent); ++row)
        names << model.index(row, 0, parent).data().toString();
    return names;
}

} // namespace

class FolderModelTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A fresh tree for every test.
    void init()
    {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
        for (const char* folder : {"a/b/c", "a/D", "a/.hidden", "e"})
            QVERIFY(QDir(m_dir->path()).mkpath(QLatin1String(folder)));
        writeFile(m_dir->filePath(QStringLiteral("a/file")), "x");
        m_tester.reset();
        m_model.emplace(QIcon());
        m_model->setRoot(native(QString()));
    }

    void way_walksDownAndAddsWhatThePathLeadsThrough()
    {
        QCOMPARE(m_model->rowCount(m_model->index(0, 0)), 0); // the root is read when asked, not when set
        watch();
        const QModelIndex c = go(QStringLiteral("a/b/c"));
        QCOMPARE(m_model->pathOf(c), native(QStringLiteral("a/b/c")));
        QCOMPARE(m_model->find(native(QStringLiteral("a/b/c"))), c);
        const QModelIndex hidden = go(QStringLiteral("a/.hidden"));
        QCOMPARE(namesBelow(*m_model, hidden.parent()), (QStringList{QStringLiteral(".hidden"), QStringLiteral("b"), QStringLiteral("D")}));
        QVERIFY(!m_model->wayTo(m_model->root(), QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/elsewhere"))));
    }

    void way_toAFolderNotThere_reachesNothing_orClimbsToTheNearest()
    {
        go(QStringLiteral("a/b/c"));
        QVERIFY(!go(QStringLiteral("a/b/gone")).isValid());
        QVERIFY(QDir(m_dir->filePath(QStringLiteral("a/b"))).removeRecursively());
        const QModelIndex a = go(QStringLiteral("a/b/c"), true);
        QCOMPARE(m_model->pathOf(a), native(QStringLiteral("a")));
        QCOMPARE(namesBelow(*m_model, a), QStringList{QStringLiteral("D")});  // "b" read anew, gone
        QVERIFY(!m_model->canFetchMore(a)); // nor read again when opened
    }

    // A folder added on a path's way before its parent was listed (the tree had read the
    // parent when the way was asked, and forgot it since) is listed once among the others
    // when the listing comes. The model tester would read the parent at once: it looks on
    // once the steps are done.
    void listingAfterAFolderOnTheWay_goesInAroundIt()
    {
        std::optional<FolderWay> way = m_model->wayTo(m_model->root(), native(QStringLiteral("a/b")));
        way->unread = {true, false, false};
        read(*way);
        const QPersistentModelIndex b = m_model->takeWay(*way);
        const QModelIndex a = b.parent();
        QCOMPARE(namesBelow(*m_model, a), QStringList{QStringLiteral("b")});
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("a/c")));
        m_model->fetchMore(a);
        QCOMPARE(namesBelow(*m_model, a), (QStringList{QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("D")}));
        QCOMPARE(m_model->pathOf(b), native(QStringLiteral("a/b")));
        watch();
    }

    // A folder read again: those gone leave, a new one comes in its place, the others stay
    // as they were, with what was read below them; a hidden folder a path led through stays.
    void reread_takesTheNewListingInPlace()
    {
        const QModelIndex a = go(QStringLiteral("a/.hidden")).parent();
        const QPersistentModelIndex b = go(QStringLiteral("a/b/c")).parent();
        QVERIFY(QDir(m_dir->filePath(QStringLiteral("a/D"))).removeRecursively());
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("a/C")));
        std::optional<FolderEntries> found;
        m_model->reread(a, [&](std::optional<FolderEntries> entries) { found = std::move(entries); });
        QTRY_VERIFY(found);
        m_model->update(a, std::move(*found));
        QCOMPARE(namesBelow(*m_model, a), (QStringList{QStringLiteral(".hidden"), QStringLiteral("b"), QStringLiteral("C")}));
        QCOMPARE(namesBelow(*m_model, b), QStringList{QStringLiteral("c")});
        watch();
    }

private:
    // Reads on a worker what the way to `relative` needs, and takes it in.
    QModelIndex go(const QString& relative, bool climb = false)
    {
        std::optional<FolderWay> way = m_model->wayTo(m_model->root(), native(relative));
        if (!way)
            return {};
        way->climb = climb;
        way->unread.back() = false;  // as a move that does not open the folder
        read(*way);
        return m_model->takeWay(*way);
    }

    static void read(FolderWay& way) { QVERIFY(onAWorker([&way](VolumeTask::Control& control) { FolderModel::readWay(way, control); })); }

    // Qt's model tester checks the model after every change from here on. It reads the whole
    // tree at once, so the tests of what is not read yet go without it; and it reads anew
    // inside each change it hears of, which a reset or a removal of rows here does not bear.
    void watch() { m_tester.emplace(&*m_model, QAbstractItemModelTester::FailureReportingMode::QtTest); }

    QString native(const QString& relative) const
    {
        return QDir::toNativeSeparators(relative.isEmpty() ? m_dir->path() : m_dir->filePath(relative));
    }

    std::optional<QTemporaryDir> m_dir;
    std::optional<FolderModel> m_model;
    std::optional<QAbstractItemModelTester> m_tester;
};

TESSARO_TEST_MAIN(FolderModelTest)
#include "test_folder_model.moc"
