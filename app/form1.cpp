#include "app/form1.h"

#include "app/accessibility.h"
#include "app/colour_text.h"
#include "decoration/apply_command.h"
#include "decoration/command_texts.h"
#include "decoration/folder_decoration.h"
#include "decoration/take_off_command.h"
#include "platform/os/native_path.h"
#include "platform/widgets/background_command.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/folder_window.h"
#include "platform/widgets/known_folders.h"
#include "platform/widgets/picture_box.h"
#include "platform/widgets/shown_name.h"
#include "platform/widgets/twip_layout.h"
#include "platform/widgets/user_dialogs.h"
#include "shell/mod_com.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>

#include <algorithm>
#include <utility>

namespace tessaro {
namespace {

// COLORREF is 0x00BBGGRR.
QColor toColor(os::ColourRef colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF), static_cast<int>((colour >> 16) & 0xFF));
}

// How the colour text is read, for the user who types it, after what is wrong with it.
QString colourAbout(const ColourReading& reading)
{
    const QString order = Form1::tr("青・緑・赤の順の16進数 (0x00BBGGRR) です。赤は FF、青は FF0000");
    return reading.problem.isEmpty() ? order : reading.problem + QLatin1Char('\n') + order;
}

// Colours a label as the system draws selected text, as the two pane titles are.
void highlight(QLabel* label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->setAlignment(Qt::AlignCenter);
}

// Lets the keyboard rest on a disabled menu item, as desktop menus do, so that a screen
// reader reads it and why it is off; Qt's own styles pass over it.
class DisabledItemsReachable final : public QProxyStyle {
public:
    DisabledItemsReachable()
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name()))
    {
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget, QStyleHintReturn* returned) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// A drive list shows the drive its tree is rooted at, whatever moved the tree; quietly, so
// that the tree is not sent on to that drive's current folder.
void showTreeDrive(DriveList* drives, const FolderList* tree)
{
    const QSignalBlocker quiet(drives);
    drives->setDrive(tree->root());
}

} // namespace

Form1::Form1(UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_commands(new BackgroundCommand(dialogs, this))
{
    installAccessibility();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tessaro"));
    createControls();
    describeControls();
    Form_Load();
    pictureFolderChanged();
    targetFolderChanged();
    showColour();
    showLegibility();
}

void Form1::createControls()
{
    auto* layout = new TwipLayout(this, QSize(10485, 7545));
    const auto place = [layout](QWidget* control, const char* name, QRect twips, TwipLayout::Follow follow) {
        control->setObjectName(QLatin1String(name));
        layout->add(control, twips, follow);
    };
    // What the window's growth goes to: the picture pane and the target pane take half the
    // extra width each, the picture pane's folder and file lists half of its share each. The
    // picture pane's lists take half the extra height and the preview below them the other
    // half; the target pane's tree takes all of it. Buttons, the swatch and the colour text
    // keep their size and move with what lies above and beside them; the pane titles, the
    // drive lists and 開く span their pane as they do in the design, and the apply button
    // stands between the panes from top to bottom.
    using Follow = TwipLayout::Follow;
    constexpr qreal Pane = 0.5, HalfPane = 0.25, Lists = 0.5;

    Label3 = new QLabel(tr("画像ファイル選択"), this);
    place(Label3, "Label3", {270, 90, 5010, 240}, Follow{0, 0, Pane, 0});
    highlight(Label3);

    Drive1 = new DriveList(m_dialogs, this);
    place(Drive1, "Drive1", {225, 450, 2625, 300}, Follow{0, 0, HalfPane, 0});
    Dir1 = new FolderList(this);
    place(Dir1, "Dir1", {225, 810, 2670, 2610}, Follow{0, 0, HalfPane, Lists});
    File1 = new FileList(this);
    place(File1, "File1", {3060, 495, 2175, 2970}, Follow{HalfPane, 0, Pane, Lists});
    File1->setPattern(QStringLiteral("*.bmp;*.jpg;*.gif"));

    Command3 = new QPushButton(tr("文字色変更"), this);
    place(Command3, "Command3", {270, 3510, 1185, 285}, Follow{0, Lists, 0, Lists});
    Label2 = new QLabel(this);
    place(Label2, "Label2", {1575, 3510, 555, 285}, Follow{0, Lists, 0, Lists});
    Label2->setAutoFillBackground(true);
    // Eight digits at most: the rest of the row tells how well captions of the colour read.
    Text1 = new QLineEdit(QStringLiteral("000000"), this);
    place(Text1, "Text1", {2250, 3510, 1050, 285}, Follow{0, Lists, 0, Lists});
    // Marks a text that names no colour where it is typed; its tooltip says why.
    m_colourWarning = Text1->addAction(style()->standardIcon(QStyle::SP_MessageBoxWarning), QLineEdit::TrailingPosition);
    Label5 = new QLabel(this);
    place(Label5, "Label5", {3390, 3510, 1755, 285}, Follow{0, Lists, Pane, Lists});

    // The preview leaves room below it for the switch to the folder's view.
    Image1 = new PictureBox(this);
    place(Image1, "Image1", {180, 3870, 5010, 3120}, Follow{0, Lists, Pane, 1});
    Check1 = new QCheckBox(tr("フォルダでの見え方(&F)"), this);
    place(Check1, "Check1", {180, 7035, 3000, 360}, Follow{0, 1, 0, 1});
    // The sample caption over the preview: no background of its own, so the picture shows around it.
    Label1 = new QLabel(tr("文字色"), this);
    place(Label1, "Label1", {315, 4005, 915, 285}, Follow{0, Lists, 0, Lists});
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->raise();

    Command1 = new QPushButton(tr("実行　>>"), this);
    place(Command1, "Command1", {5400, 180, 915, 7215}, Follow{Pane, 0, Pane, 1});

    Label4 = new QLabel(tr("背景変更フォルダ"), this);
    place(Label4, "Label4", {6480, 135, 3615, 240}, Follow{Pane, 0, 1, 0});
    highlight(Label4);
    Drive2 = new DriveList(m_dialogs, this);
    place(Drive2, "Drive2", {6435, 495, 3750, 300}, Follow{Pane, 0, 1, 0});
    Dir2 = new FolderList(this);
    place(Dir2, "Dir2", {6435, 855, 3705, 5760}, Follow{Pane, 0, 1, 1});
    Command2 = new QPushButton(tr("開く"), this);
    place(Command2, "Command2", {6480, 6840, 3705, 510}, Follow{Pane, 1, 1, 1});
    // Opens at the design's size and places the controls before anything asks where they are.
    resize(layout->sizeHint());
    layout->activate();

    for (QLabel* label : {Label1, Label2, Label3, Label4, Label5})
        label->setFocusPolicy(Qt::NoFocus);
    // The selected picture stays marked while the window is not the active one (a message
    // over it, another program in front), as the system's list boxes keep theirs: some
    // desktop themes give an inactive selection the colour of the background.
    QPalette selection = File1->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        selection.setColor(QPalette::Inactive, role, selection.color(QPalette::Active, role));
    File1->setPalette(selection);

    // Enter presses the focused button as Space does, the system's convention, which Qt keeps
    // to dialogs.
    for (QPushButton* button : {Command1, Command2, Command3})
        button->installEventFilter(this);
    // The keyboard order follows the eye through the panes: the picture's drive, folder and
    // file, its colour, the preview's switch, apply, then the target's drive, folder and 開く.
    // The picture's folder has the focus first, as it always had.
    QWidget* order[] = {Drive1, Dir1, File1, Command3, Text1, Check1, Command1, Drive2, Dir2, Command2};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    Dir1->setFocus();

    connect(Drive1, &DriveList::changed, this, &Form1::Drive1_Change);
    connect(Dir1, &FolderList::changed, this, &Form1::Dir1_Change);
    connect(Dir1, &FolderList::changed, this, &Form1::pictureFolderChanged);
    connect(Dir2, &FolderList::changed, this, &Form1::targetFolderChanged);
    // Only the target pane shows which folders are decorated, and offers to take it off.
    Dir2->setMarkReader(folderMark);
    connect(Dir2, &FolderList::markChanged, this, [this](const QString& folder) {
        if (folder == Dir2->path())
            showTargetMark();
    });
    connect(Dir2, &FolderList::menuRequested, this, &Form1::showFolderMenu);
    // The sample caption shows over a picture only: over an empty box it would stand for a
    // picture that is not there.
    connect(Image1, &PictureBox::pictureChanged, this, &Form1::showSample);
    connect(Image1, &PictureBox::pictureChanged, this, &Form1::describeChoice);
    connect(Check1, &QCheckBox::toggled, this, [this](bool on) {
        Image1->setFolderView(on);
        showSample();
    });
    connect(Image1, &PictureBox::legibilityChanged, this, &Form1::showLegibility);
    connect(Image1, &PictureBox::failed, this, &Form1::previewFailed);
    connect(Text1, &QLineEdit::textChanged, this, &Form1::showColour);
    connect(File1, &FileList::clicked, this, &Form1::File1_Click);
    connect(File1, &FileList::clicked, this, &Form1::describeChoice);
    // The target pane moves together as the picture pane does.
    connect(Drive2, &DriveList::changed, this, [this] {
        if (!Dir2->setDrive(Drive2->drive())) {
            m_dialogs.warn(this, tr("ドライブ"), tr("ドライブ %1 を開けません。").arg(Drive2->drive()));
            showTreeDrive(Drive2, Dir2);
        }
    });
    for (const auto& [drives, tree] : {std::pair(Drive1, Dir1), std::pair(Drive2, Dir2)}) {
        connect(tree, &FolderList::changed, drives, [drives, tree] { showTreeDrive(drives, tree); });
        connect(tree, &FolderList::failed, this, [this, drives, tree](const QString& message) {
            m_dialogs.warn(this, tr("フォルダ"), message);
            showTreeDrive(drives, tree);
        });
    }
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(m_commands, &BackgroundCommand::finished, this, [this] {
        if (!m_changing.isEmpty())
            Dir2->forgetMark(std::exchange(m_changing, {}));
    });
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
}

// What a screen reader says of each control: what it is, not its value, with the pane in the
// name where both panes have one, and in the description what a tooltip would show. The pane
// titles are no buddies: a screen reader would read a title in place of the name.
void Form1::describeControls()
{
    Drive1->setAccessibleName(tr("画像のドライブ"));
    Dir1->setAccessibleName(tr("画像フォルダ"));
    File1->setAccessibleName(tr("画像ファイル"));
    Command3->setAccessibleName(tr("文字色変更"));
    Text1->setAccessibleName(tr("文字色 (16進数)"));
    Image1->setAccessibleName(tr("プレビュー"));
    Check1->setAccessibleDescription(tr("プレビューに、フォルダの窓に表示されるとおりの画像の大きさと並び方、文字色を示します"));
    Command1->setAccessibleName(tr("実行"));
    Command1->setAccessibleDescription(tr("選んだ画像と文字色を右のフォルダに設定します"));
    Drive2->setAccessibleName(tr("背景を変えるフォルダのドライブ"));
    Dir2->setAccessibleName(tr("背景を変えるフォルダ"));
    Command2->setAccessibleName(tr("開く"));
}

void Form1::Form_Load()
{
    CustomColors.fill(0);
    Drive1->setDrive(QStringLiteral("c:"));
    // The target pane starts where Tessaro was started from.
    Dir2->setPath(QDir::currentPath());

    const KnownFolders folders = knownFolders();
    const std::optional<os::Path>& documents = folders.documents;
    if (documents && Dir1->setPath(joinPath(toQString(*documents), QStringLiteral("My Pictures"))))
        return;
    // No "My Pictures": the nearest thing the desktop has, without troubling the user.
    if (folders.pictures && Dir1->setPath(toQString(*folders.pictures)))
        return;
    if (documents && Dir1->setPath(toQString(*documents)))
        return;
    Dir1->setPath(toQString(folders.home));
}

void Form1::Drive1_Change()
{
    Drive1->setToolTip(Drive1->drive());
    if (!Dir1->setDrive(Drive1->drive())) {
        m_dialogs.warn(this, tr("ドライブ"), tr("ドライブ %1 を開けません。").arg(Drive1->drive()));
        showTreeDrive(Drive1, Dir1);
    }
}

void Form1::Dir1_Change()
{
    File1->setPath(Dir1->path());
}

void Form1::File1_Click()
{
    m_unreadablePicture.clear();
    const int index = File1->listIndex();
    if (index < 0) {
        Image1->clear();
        return;
    }
    const QString path = joinPath(File1->path(), File1->entry(index));
    if (File1->entryExact(index)) {
        Image1->showFile(path);
        return;
    }
    Image1->clear();
    previewFailed(path, tr("ファイル名をこのシステムの文字コードで表せません。"), false);
}

void Form1::previewFailed(const QString& path, const QString& reason, bool tooLarge)
{
    // A picture too big to show here may still be one the file manager can draw.
    if (!tooLarge) {
        m_unreadablePicture = path;
        m_unreadableReason = reason;
    }
    m_dialogs.warn(this, tr("プレビュー"), tr("画像を表示できません。\n%1\n%2").arg(path, reason));
}

// Tabbing back into the picture list, a screen reader reads its name and this: the picture
// chosen, as the preview shows it (its name, or 画像なし).
void Form1::describeChoice()
{
    const int index = File1->listIndex();
    QString text = Image1->accessibleDescription();
    if (index >= 0 && Image1->file() != joinPath(File1->path(), File1->entry(index)))
        text = Image1->loading() ? File1->entry(index) : tr("%1、%2").arg(File1->entry(index), text);
    File1->setAccessibleDescription(text);
}

// The preview always shows the picture apply would use: a new folder has none selected.
void Form1::pictureFolderChanged()
{
    m_unreadablePicture.clear();
    Image1->clear();
    Dir1->setAccessibleDescription(Dir1->path());
}

void Form1::targetFolderChanged()
{
    m_targetItemsRead = false;
    readTargetItems();
    Command2->setAccessibleDescription(tr("%1 をファイル マネージャーで開きます").arg(Dir2->path()));
    showTargetMark();
}

// The folder window in the preview shows the target's own first names where it has any. Its
// volume is asked off the window's thread, as the lists ask it, and only once a picture or
// the folder's view needs them: not at start-up.
void Form1::readTargetItems()
{
    if (m_targetItemsRead || (Image1->picture().isNull() && !Image1->folderView()))
        return;
    m_targetItemsRead = true;
    const QString folder = Dir2->path();
    const QString title = QFileInfo(folder).fileName().isEmpty() ? folder : QFileInfo(folder).fileName();
    auto items = std::make_shared<std::optional<QList<FolderItem>>>();
    const auto show = [this, title, items] {
        Image1->setFolder(title, items->value_or(QList<FolderItem>()).isEmpty() ? sampleFolderItems() : **items);
    };
    m_targetItems.start([items, path = toPath(folder)](VolumeTask::Control& control) { *items = readFolderItems(path, control); }, show,
                        show, VolumeTask::Wait::Never);
}

// The target's decoration, without the user opening anything: on the pane's title, and to a
// screen reader with the folder where the list reads it.
void Form1::showTargetMark()
{
    const FolderMark* mark = Dir2->mark(Dir2->path());
    const bool marked = mark && mark->state != FolderMark::State::Plain && !mark->summary.isEmpty();
    Dir2->setAccessibleDescription(marked ? tr("%1、%2").arg(Dir2->path(), mark->summary) : Dir2->path());
    QString text;
    if (mark && mark->state == FolderMark::State::Decorated)
        text = tr("選んだフォルダ %1 には背景が設定されています。\n%2").arg(shownName(Dir2->path()), mark->description);
    else if (mark && mark->state == FolderMark::State::Broken)
        text = tr("選んだフォルダ %1 には背景が設定されていますが、このままでは表示されません。\n%2").arg(shownName(Dir2->path()), mark->description);
    Label4->setToolTip(text);
    Label4->setAccessibleDescription(text);
}

void Form1::showFolderMenu(const QString& folder, const QPoint& globalPos)
{
    if (!m_folderMenu) {
        m_folderMenu = new QMenu(this);
        m_folderMenu->setObjectName(QStringLiteral("Dir2Menu"));
        auto* style = new DisabledItemsReachable;
        style->setParent(m_folderMenu);
        m_folderMenu->setStyle(style);
        m_folderMenu->setToolTipsVisible(true);
    }
    m_folderMenu->clear();
    QAction* open = m_folderMenu->addAction(tr("開く"), this, [this, folder] { openFolder(folder); });
    QAction* takeOff = m_folderMenu->addAction(tr("背景と文字色を外す"), this, [this, folder] {
        runCommand(TakeOffCommand::title(), folder, [](UserDialogs& dialogs, const QString& target) { TakeOffCommand(dialogs, nullptr).run(target); });
    });
    const FolderMark* mark = Dir2->mark(folder);
    if (!mark || mark->state == FolderMark::State::Plain) {
        // Why it is off, on the pointer and to a screen reader.
        const QString why = mark ? tr("背景が設定されていません") : tr("背景の設定をまだ確かめています");
        takeOff->setEnabled(false);
        takeOff->setToolTip(why);
        takeOff->setStatusTip(why);
    }
    m_folderMenu->popup(globalPos);
    // Opened with its first item active, so that a screen reader announces the menu at once.
    m_folderMenu->setActiveAction(open);
}

// Apply and take-off run alike, behind the window: the command asks and tells the user
// through the dialogs, and once it has ended the folder's mark is read anew whatever came of
// it, since a failure may have changed part of it.
void Form1::runCommand(const QString& title, const QString& folder, std::function<void(UserDialogs& dialogs, const QString& folder)> command)
{
    if (m_commands->start(title, [folder, command = std::move(command)](UserDialogs& dialogs) { command(dialogs, folder); }))
        m_changing = folder;
}

void Form1::openFolder(const QString& folder)
{
    m_commands->start(tr("フォルダを開く"), [folder](UserDialogs& dialogs) { Mod_Com::OpenFolder(folder, nullptr, dialogs); });
}

void Form1::Command1_Click()
{
    DecorationChoice choice;
    choice.pictureFolder = File1->path();
    if (const int index = File1->listIndex(); index >= 0) {
        choice.pictureName = File1->entry(index);
        choice.pictureNameExact = File1->entryExact(index);
        if (picturePath(choice) == m_unreadablePicture)
            choice.pictureProblem = m_unreadableReason;
    }
    choice.colourText = colourText();
    runCommand(ApplyCommand::title(), Dir2->path(), [choice](UserDialogs& dialogs, const QString& target) { ApplyCommand(dialogs, nullptr).run(choice, target); });
}

void Form1::Command2_Click()
{
    openFolder(Dir2->path());
}

void Form1::Command3_Click()
{
    // The dialog works on a copy, so that a cancel drops the custom colours edited in it.
    os::CustomColours custom = CustomColors;
    // Only the low three bytes: the system's dialog would read a high byte as a palette index.
    const os::ColourRef shown = readColourText(Text1->text()).colour.value_or(0) & 0xFFFFFF;
    const std::optional<os::ColourRef> chosen = m_dialogs.chooseColour(this, shown, custom);
    if (!chosen)
        return;
    CustomColors = custom;
    Text1->setText(QString::number(*chosen, 16).toUpper());
}

QString Form1::colourText() const
{
    return asciiForm(Text1->text());
}

// The swatch and the sample follow the text as it is typed or chosen, so that the window
// never shows one colour and applies another: a text that names no colour shows none, and
// the box says why.
void Form1::showColour()
{
    const ColourReading reading = readColourText(Text1->text());
    Image1->setCaptionColour(reading.colour ? toColor(*reading.colour) : QColor());
    const QString about = colourAbout(reading);
    Text1->setToolTip(about);
    m_colourWarning->setToolTip(about);
    m_colourWarning->setVisible(!reading.colour);

    QPalette swatch = Label2->palette();
    QPalette sample = Label1->palette();
    if (reading.colour) {
        const QColor shown = toColor(*reading.colour);
        swatch.setBrush(QPalette::Window, shown);
        sample.setColor(QPalette::WindowText, shown);
        Label2->setToolTip(describeColour(*reading.colour));
    } else {
        // Hatched, as an empty colour is drawn; the sample in the window's own text colour.
        swatch.setBrush(QPalette::Window, QBrush(palette().color(QPalette::WindowText), Qt::BDiagPattern));
        sample.setColor(QPalette::WindowText, palette().color(QPalette::WindowText));
        Label2->setToolTip(tr("色になっていません"));
    }
    Label2->setPalette(swatch);
    Label2->setAccessibleName(tr("文字色の見本: %1").arg(Label2->toolTip()));
    // Heard as the focus comes back to the button from the colour dialog.
    Command3->setAccessibleDescription(tr("文字色: %1").arg(Label2->toolTip()));
    Label1->setPalette(sample);
    // The box's description joins what is wrong with the text to how well the colour reads.
    showLegibility();
}

// The sample caption shows over a picture only: over an empty box it would stand for a
// picture that is not there. The folder's view draws captions of its own.
void Form1::showSample()
{
    readTargetItems();
    Label1->setVisible(!Image1->picture().isNull() && !Image1->folderView());
}

// How well the captions will read, where the colour is chosen and where a screen reader
// finds it; a low figure warns, and apply stays open.
void Form1::showLegibility()
{
    const std::optional<double> figure = Image1->legibility();
    const bool low = figure && *figure < LegibleContrast;
    QString told;
    if (figure) {
        told = tr("読みやすさ %1: フォルダの窓で文字の下にある画素と文字色のコントラスト比 (最も読みにくい 1 割を除く)。4.5 : 1 以上が目安です。")
                   .arg(contrastText(*figure));
        if (low)
            told += QLatin1Char('\n') + legibilityWarning();
    }
    Label5->setText(figure ? tr("読みやすさ %1").arg(contrastText(*figure)) : QString());
    QFont font = Label5->font();
    font.setBold(low);
    Label5->setFont(font);
    QPalette palette;
    if (low)
        palette.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
    Label5->setPalette(palette);
    for (QWidget* shown : {static_cast<QWidget*>(Label5), static_cast<QWidget*>(Label1)})
        shown->setToolTip(told);
    Label5->setAccessibleDescription(told);
    const QString about = colourAbout(readColourText(Text1->text()));
    Text1->setAccessibleDescription(told.isEmpty() ? about : about + QLatin1Char('\n') + told);
}

// A command still running runs on behind the closed window; the program ends after it.
void Form1::closeEvent(QCloseEvent* event)
{
    m_commands->windowClosed();
    QWidget::closeEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && !key->isAutoRepeat() && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (auto* button = qobject_cast<QPushButton*>(watched)) {
                button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessaro
