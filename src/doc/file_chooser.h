#pragma once
#include <string>
#include <vector>

// What an open or save dialog is asked for.
struct SFileDialogRequest {
    std::string title;             // what is opened or saved: "Load from BRT File"
    std::string filterLabel;       // "BRT list files (*.csv)"
    std::string filterPattern;     // "*.csv"
    std::string defaultExtension;  // "csv"
    std::string initialName;       // "*.csv"
    bool overwritePrompt = false;
    bool hideReadOnly = true;
    // A second file type offered after the first; chosenFilter, when given, learns which
    // of the two the user picked (0 or 1).
    std::string otherFilterLabel;
    // Further file types after those two; chosenFilter then counts them on (2, 3, ...).
    std::vector<std::string> moreFilterLabels;
    int* chosenFilter = nullptr;
};

// Asks the user for a file. The window shows a file dialog; the CLI and tests answer with a
// path given beforehand.
class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    // False when the user cancelled.
    virtual bool ChooseOpenFile(const SFileDialogRequest& request, std::string& path) = 0;
    virtual bool ChooseSaveFile(const SFileDialogRequest& request, std::string& path) = 0;
};
