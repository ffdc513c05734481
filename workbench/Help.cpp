#include "workbench/Help.h"


namespace travin {

void Help::OpenHelpDocument(const std::string& name) {
    // Only the help folder is searched, never elsewhere; the path is
    // shown whole, however long.
    OpenDocumentAt(wb.locations.helpFolder + name);
}

void Help::OpenDocumentAt(const std::string& path) {
    // The HTML pages have a viewer of the workbench's own to fall back on;
    // the manual needs the system's PDF viewer, and the message says so.
    const bool pdf = path.size() >= 4 && path.compare(path.size() - 4, 4, ".pdf") == 0;
    const std::string notFound = (pdf ? "PDF viewer or " : "Browser or ") + path + " not found";
    Notices& notices = wb.screens.notices;
    if (wb.screens.desktop.openDocumentWatched(path, [&notices, notFound] { notices.ShowNotice(notFound); }))
        return;
    notices.ShowNotice(notFound);
}

void Help::TravinOverview1Click() { OpenHelpDocument("tnoverview.html"); }
void Help::QuickStartGuide1Click() { OpenHelpDocument("tnquickstart.html"); }
void Help::UserInterface1Click() { OpenHelpDocument("uiref.html"); }
void Help::LanguageReference1Click() { OpenHelpDocument("langref.html"); }
void Help::FunctionandSubroutineReference1Click() { OpenHelpDocument("funcref.html"); }
void Help::ACIReference1Click() { OpenHelpDocument("aci_manual.pdf"); }

void Help::HelpAboutExecute() {
    wb.screens.desktop.showAboutBox();
}

}  // namespace travin
