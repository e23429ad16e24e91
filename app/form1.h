#pragma once

#include "platform/os_services.h"

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaro {

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
    // `programFolder` is where the settings file is staged before it is copied.
    explicit Form1(UserDialogs& dialogs, const QString& programFolder, QWidget* parent = nullptr);

    const os::CustomColours& customColors() const { return CustomColors; }

private:
    void createControls();
    void Form_Load();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();

    UserDialogs& m_dialogs;
    QString m_programFolder;

    // The colour dialog's custom colours, kept for this run only.
    os::CustomColours CustomColors{};

    QLabel* Label3 = nullptr;
    DriveList* Drive1 = nullptr;
    FolderList* Dir1 = nullptr;
    FileList* File1 = nullptr;
    QPushButton* Command3 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    PictureBox* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLabel* Label4 = nullptr;
    DriveList* Drive2 = nullptr;
    FolderList* Dir2 = nullptr;
    QPushButton* Command2 = nullptr;
};

} // namespace tessaro
