#pragma once

class QApplication;
class QCoreApplication;

namespace tessaro {

// What every start of Tessaro does once the application object exists: its name, version
// and icon, and the Japanese interface.
void prepareApplication(QApplication& app);

// Makes the whole interface Japanese, the toolkit's own buttons and dialogs included,
// whatever the system's language.
void installJapanese(QCoreApplication& app);

} // namespace tessaro
