// The folder tree's model on a small tree of its own, checked by Qt's model tester after
// every step: rooted anywhere, read lazily, and what a path leads through is added.

#include "platform/widgets/folder_model.h"

#include "test_support.h"

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

    void root_isTheOneTopRow_andReadsNothingYet()
    {
        QCOMPARE(m_model->rowCount(), 1);
        const QModelIndex top = m_model->index(0, 0);
        QCOMPARE(m_model->pathOf(top), native(QString()));
        QVERIFY(m_model->hasChildren(top));
        QVERIFY(m_model->canFetchMore(top));
        QCOMPARE(m_model->rowCount(top), 0);
    }

    void fetch_listsSubfoldersSortedWithoutHiddenOrFiles()
    {
        watch();
        const QModelIndex a = m_model->indexFor(native(QStringLiteral("a")));
        QVERIFY(a.isValid());
        m_model->fetchMore(a);
        QCOMPARE(namesBelow(*m_model, a), (QStringList{QStringLiteral("b"), QStringLiteral("D")}));
        QVERIFY(!m_model->canFetchMore(a));
    }

    void indexFor_walksDownAndAddsWhatThePathLeadsThrough()
    {
        watch();
        const QModelIndex c = m_model->indexFor(native(QStringLiteral("a/b/c")));
        QCOMPARE(m_model->pathOf(c), native(QStringLiteral("a/b/c")));
        QCOMPARE(c.parent().data().toString(), QStringLiteral("b"));
        const QModelIndex hidden = m_model->indexFor(native(QStringLiteral("a/.hidden")));
        QCOMPARE(hidden.data().toString(), QStringLiteral(".hidden"));
        QCOMPARE(namesBelow(*m_model, hidden.parent()), (QStringList{QStringLiteral(".hidden"), QStringLiteral("b"), QStringLiteral("D")}));
        QVERIFY(!m_model->indexFor(QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/elsewhere"))).isValid());
    }

    void unload_forgetsAndReadsAnew()
    {
        const QModelIndex a = m_model->indexFor(native(QStringLiteral("a")));
        m_model->fetchMore(a);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("a/new")));
        m_model->unload(a);
        QCOMPARE(m_model->rowCount(a), 0);
        QVERIFY(m_model->canFetchMore(a));
        m_model->fetchMore(a);
        QCOMPARE(namesBelow(*m_model, a), (QStringList{QStringLiteral("b"), QStringLiteral("D"), QStringLiteral("new")}));
    }

    void folderWithoutSubfolders_losesItsExpander()
    {
        const QModelIndex e = m_model->indexFor(native(QStringLiteral("e")));
        QVERIFY(m_model->hasChildren(e));
        m_model->fetchMore(e);
        QVERIFY(!m_model->hasChildren(e));
    }

private:
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

QTEST_MAIN(FolderModelTest)
#include "test_folder_model.moc"
