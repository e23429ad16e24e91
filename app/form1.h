#pragma once

#include "platform/os/os_services.h"

#include <QString>
#include <QWidget>

#include <functional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace tessaro {

class BackgroundCommand;
class DriveList;
class FileList;
class FolderList;
class PictureBox;
class UserDialogs;

// Tessaro's only window: the picture browser and colour on the left, the target folder on
// the right, the apply button between them.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(UserDialogs& dialogs, QWidget* parent = nullptr);

    const os::CustomColours& customColors() const { return CustomColors; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void describeControls();
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void runCommand(const QString& title, const QString& folder, std::function<void(UserDialogs& dialogs, const QString& folder)> command);
    void openFolder(const QString& folder);
    void showFolderMenu(const QString& folder, const QPoint& globalPos);
    void showTargetMark();
    void pictureFolderChanged();
    void targetFolderChanged();
    void previewFailed(const QString& path, const QString& reason);
    void describeChoice();
    void showColour();
    QString colourText() const;

    UserDialogs& m_dialogs;

    // Apply and open run here, off the window's thread: the target may be on a volume that
    // does not answer.
    BackgroundCommand* m_commands = nullptr;
    QString m_changing; // the folder the running command changes

    // The picture the preview could not read, and why: apply refuses it for the same reason.
    QString m_unreadablePicture;
    QString m_unreadableReason;

    // Shown in the colour box while its text names no colour.
    QAction* m_colourWarning = nullptr;

    // Dir2's context menu, made when first asked for.
    QMenu* m_folderMenu = nullptr;

    // The colour dialog's custom colours, kept for this run only.
    os::CustomColours CustomColors{};

    // The controls keep the names the window has always had; the comment gives each its role.
    QLabel* Label3 = nullptr;        // 画像ファイル選択: title of the picture pane
    DriveList* Drive1 = nullptr;     // the picture's drive; Dir1 follows it
    FolderList* Dir1 = nullptr;      // the picture's folder; File1 follows it
    FileList* File1 = nullptr;       // the pictures of Dir1's folder; a click previews one
    QPushButton* Command3 = nullptr; // 文字色変更: opens the colour dialog
    QLabel* Label2 = nullptr;        // swatch of the caption colour
    QLineEdit* Text1 = nullptr;      // the caption colour as hexadecimal text, 0x00BBGGRR
    PictureBox* Image1 = nullptr;    // preview of the picture, stretched
    QLabel* Label1 = nullptr;        // 文字色: sample caption over the preview
    QPushButton* Command1 = nullptr; // 実行　>>: decorates Dir2's folder (apply)
    QLabel* Label4 = nullptr;        // 背景変更フォルダ: title of the target pane
    DriveList* Drive2 = nullptr;     // the target's drive; Dir2 follows it
    FolderList* Dir2 = nullptr;      // the target folder
    QPushButton* Command2 = nullptr; // 開く: opens Dir2's folder in the file manager
};

} // namespace tessaro
