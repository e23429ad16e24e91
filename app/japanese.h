#pragma once

class QCoreApplication;

namespace tessaro {

// Makes the whole interface Japanese, the toolkit's own buttons and dialogs included,
// whatever the system's language.
void installJapanese(QCoreApplication& app);

} // namespace tessaro
