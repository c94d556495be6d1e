// Qt's own texts (file, colour and font dialogs, standard buttons, the
// editing menus of text fields) in Japanese, like the rest of the window.
#pragma once

class QCoreApplication;

namespace tarnak::gui {

// Loads Qt's Japanese translations from Qt's translation folder into the
// application. Returns false, and changes nothing, when they are not
// installed: Qt then speaks English, which is no reason to stop.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace tarnak::gui
