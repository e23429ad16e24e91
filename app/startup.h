#pragma once

class QApplication;
class QCoreApplication;
class QWidget;

namespace tessaro {

// What every start of Tessaro does once the application object exists: its name and
// version, and the Japanese interface.
void prepareApplication(QApplication& app);

// Gives the program its icon once `window` has painted for the first time: its six sizes
// take a decode each, and nothing needs them before the window is on the screen.
void setIconAfterFirstPaint(QWidget& window);

// Removes, off the window's thread, the staging folders that runs which ended before their
// time (a crash, a kill) left in the temporary folder.
void removeStaleStagingInBackground();

// Makes the whole interface Japanese, the toolkit's own buttons and dialogs included,
// whatever the system's language.
void installJapanese(QCoreApplication& app);

} // namespace tessaro
