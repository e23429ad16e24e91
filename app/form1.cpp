#include "app/form1.h"

#include "decoration/apply_command.h"
#include "platform/os/native_path.h"
#include "platform/widgets/drive_list.h"
#include "platform/widgets/file_list.h"
#include "platform/widgets/folder_list.h"
#include "platform/widgets/picture_box.h"
#include "platform/widgets/twips.h"
#include "platform/widgets/user_dialogs.h"
#include "shell/mod_com.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tessaro {
namespace {

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

// A drive list shows the drive its tree is rooted at, whatever moved the tree; quietly, so
// that the tree is not sent on to that drive's current folder.
void showTreeDrive(DriveList* drives, const FolderList* tree)
{
    const QSignalBlocker quiet(drives);
    drives->setDrive(tree->root());
}

} // namespace

Form1::Form1(UserDialogs& dialogs, const QString& programFolder, QWidget* parent)
    : QWidget(parent)
    , m_dialogs(dialogs)
    , m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Tessaro"));
    createControls();
    Form_Load();
}

void Form1::createControls()
{
    const int dpi = logicalDpiX();
    const auto place = [this, dpi](QWidget* control, const char* name, int left, int top, int width, int height) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(twipsRect(left, top, width, height, dpi));
    };
    setFixedSize(twipsToPixels(10485, dpi), twipsToPixels(7545, dpi));

    Label3 = new QLabel(tr("画像ファイル選択"), this);
    place(Label3, "Label3", 270, 90, 5010, 240);
    highlight(Label3);

    Drive1 = new DriveList(m_dialogs, this);
    place(Drive1, "Drive1", 225, 450, 2625, 300);
    Dir1 = new FolderList(this);
    place(Dir1, "Dir1", 225, 810, 2670, 2610);
    File1 = new FileList(this);
    place(File1, "File1", 3060, 495, 2175, 2970);
    File1->setPattern(QStringLiteral("*.bmp;*.jpg;*.gif"));

    Command3 = new QPushButton(tr("文字色変更"), this);
    place(Command3, "Command3", 270, 3510, 1185, 285);
    Label2 = new QLabel(this);
    place(Label2, "Label2", 1575, 3510, 555, 285);
    Label2->setAutoFillBackground(true);
    Text1 = new QLineEdit(QStringLiteral("000000"), this);
    place(Text1, "Text1", 2250, 3510, 2895, 285);

    Image1 = new PictureBox(this);
    place(Image1, "Image1", 180, 3870, 5010, 3480);
    // The sample caption over the preview: no background of its own, so the picture shows around it.
    Label1 = new QLabel(tr("文字色"), this);
    place(Label1, "Label1", 315, 4005, 915, 285);
    Label1->setAttribute(Qt::WA_TranslucentBackground);
    Label1->raise();

    Command1 = new QPushButton(tr("実行　>>"), this);
    place(Command1, "Command1", 5400, 180, 915, 7215);

    Label4 = new QLabel(tr("背景変更フォルダ"), this);
    place(Label4, "Label4", 6480, 135, 3615, 240);
    highlight(Label4);
    Drive2 = new DriveList(m_dialogs, this);
    place(Drive2, "Drive2", 6435, 495, 3750, 300);
    Dir2 = new FolderList(this);
    place(Dir2, "Dir2", 6435, 855, 3705, 5760);
    Command2 = new QPushButton(tr("開く"), this);
    place(Command2, "Command2", 6480, 6840, 3705, 510);

    for (QLabel* label : {Label1, Label2, Label3, Label4})
        label->setFocusPolicy(Qt::NoFocus);
    // The keyboard order: the folder list first, then the lists, the buttons and the colour text.
    QWidget* order[] = {Dir1, Drive1, File1, Dir2, Drive2, Command1, Command2, Command3, Text1};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(Drive1, &DriveList::changed, this, &Form1::Drive1_Change);
    connect(Dir1, &FolderList::changed, this, &Form1::Dir1_Change);
    connect(File1, &FileList::clicked, this, &Form1::File1_Click);
    // The target pane moves together as the picture pane does.
    connect(Drive2, &DriveList::changed, this, [this] {
        if (!Dir2->setDrive(Drive2->drive())) {
            m_dialogs.inform(this, tr("ドライブ %1 を開けません。").arg(Drive2->drive()));
            showTreeDrive(Drive2, Dir2);
        }
    });
    for (const auto& [drives, tree] : {std::pair(Drive1, Dir1), std::pair(Drive2, Dir2)}) {
        connect(tree, &FolderList::changed, drives, [drives, tree] { showTreeDrive(drives, tree); });
        connect(tree, &FolderList::failed, this, [this, drives, tree](const QString& message) {
            m_dialogs.inform(this, message);
            showTreeDrive(drives, tree);
        });
    }
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

}

void Form1::Form_Load()
{
    CustomColors.fill(0);
    Drive1->setDrive(QStringLiteral("c:"));
    // The target pane starts where Tessaro was started from.
    Dir2->setPath(QDir::currentPath());

    const std::optional<os::Path> documents = os::documentsFolder();
    if (documents && Dir1->setPath(joinPath(toQString(*documents), QStringLiteral("My Pictures"))))
        return;
    // No "My Pictures": the nearest thing the desktop has, without troubling the user.
    const std::optional<os::Path> pictures = os::picturesFolder();
    if (pictures && Dir1->setPath(toQString(*pictures)))
        return;
    if (documents && Dir1->setPath(toQString(*documents)))
        return;
    Dir1->setPath(QDir::homePath());
}

void Form1::Drive1_Change()
{
    Drive1->setToolTip(Drive1->drive());
    if (!Dir1->setDrive(Drive1->drive())) {
        m_dialogs.inform(this, tr("ドライブ %1 を開けません。").arg(Drive1->drive()));
        showTreeDrive(Drive1, Dir1);
    }
}

void Form1::Dir1_Change()
{
    Dir1->setToolTip(Dir1->path());
    File1->setPath(Dir1->path());
}

void Form1::File1_Click()
{
    const int index = File1->listIndex();
    if (index < 0)
        return;
    const QString path = joinPath(File1->path(), File1->entry(index));
    LoadedPicture loaded;
    if (File1->entryExact(index))
        loaded = loadPicture(path, Image1->pictureSize());
    else
        loaded.error = tr("ファイル名をこのシステムの文字コードで表せません。");

    if (loaded.error.isEmpty()) {
        Image1->setPicture(loaded.image);
        return;
    }
    Image1->clear();
    m_dialogs.inform(this, tr("画像を表示できません。\n%1\n%2").arg(path, loaded.error));
}

void Form1::Command1_Click()
{
    DecorationChoice choice;
    choice.pictureFolder = File1->path();
    if (const int index = File1->listIndex(); index >= 0) {
        choice.pictureName = File1->entry(index);
        choice.pictureNameExact = File1->entryExact(index);
    }
    choice.colourText = Text1->text();
    ApplyCommand(m_dialogs, this, m_programFolder).run(choice, Dir2->path());
}

void Form1::Command2_Click()
{
    Mod_Com::OpenFolder(Dir2->path(), this, m_dialogs);
}

void Form1::Command3_Click()
{
    // The dialog works on a copy, so that a cancel drops the custom colours edited in it.
    os::CustomColours custom = CustomColors;
    const std::optional<os::ColourRef> chosen = m_dialogs.chooseColour(this, custom);
    if (!chosen)
        return;

    Text1->setText(QString::number(*chosen, 16).toUpper());
    const QColor colour(static_cast<int>(*chosen & 0xFF), static_cast<int>((*chosen >> 8) & 0xFF),
                        static_cast<int>((*chosen >> 16) & 0xFF));
    QPalette swatch = Label2->palette();
    swatch.setColor(QPalette::Window, colour);
    Label2->setPalette(swatch);
    QPalette sample = Label1->palette();
    sample.setColor(QPalette::WindowText, colour);
    Label1->setPalette(sample);
    CustomColors = custom;
}

} // namespace tessaro
