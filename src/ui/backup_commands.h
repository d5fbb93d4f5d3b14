#pragma once
#include "doc/backup_files.h"
#include "files/backup_kind.h"

#include <span>

// The backup kinds as the window offers them: one row per kind gives its load, "Save All
// Active" and "Save Selected && Active" commands (and the merge of the one kind that has it),
// their ids, words and toolbar pictures, and the kind's file type. One handler serves every
// row; a new kind is one more row.
struct SBackupCommands {
    // One command of a kind: its menu id, the toolbar's own id where the toolbar has one (0:
    // the same), menu words, toolbar picture and tooltip (none: not on the toolbar).
    struct SCommand {
        int id = 0;
        int toolbarId = 0;
        const char* text = nullptr;
        const char* icon = nullptr;
        const char* tooltip = nullptr;
    };
    EBackupKind kind;
    const char* extension;    // "cnv"
    const char* typeLabel;    // "CNV files (*.cnv)": Save As, the selection's saves
    const char* dialogLabel;  // the load and whole-save dialogs' filter, "output files (*.cnv)"
    bool startsMenuGroup;     // a separator before it in the File menu
    int toolbarGroup;         // its group of buttons, 0 when it has none
    SCommand load, merge, saveAll, saveSelected;
    // A QCN save also offers the numbered-items layout as a second file type.
    bool offersNumberedLayout;
};

// Every kind, in the order of the menus and of Save As's file types.
std::span<const SBackupCommands> BackupCommands();
// The row of a kind, or null.
const SBackupCommands* BackupCommandsOf(EBackupKind kind);
// The label of the QCN numbered-items layout as a file type.
const char* NumberedLayoutLabel();
