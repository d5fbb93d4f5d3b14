#include "ui/backup_commands.h"

#include <QtGlobal>

namespace {
const SBackupCommands kKinds[] = {
    {EBackupKind::Brt, "brt", QT_TRANSLATE_NOOP("CMainFrame", "BRT files (*.brt)"), QT_TRANSLATE_NOOP("CMainFrame", "output files (*.brt)"), true, 2,
     {32786, 0, QT_TRANSLATE_NOOP("CMainFrame", "Load from BRT File"), "load_brt", QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items from BRT File")},
     {},
     {32785, 0, QT_TRANSLATE_NOOP("CMainFrame", "Save All Active to BRT File"), "save_all_brt", QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to BRT File")},
     {32787, 0, QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active to BRT File"), "save_selected_brt",
      QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to BRT File")},
     false},
    {EBackupKind::Cnv, "cnv", QT_TRANSLATE_NOOP("CMainFrame", "CNV files (*.cnv)"), QT_TRANSLATE_NOOP("CMainFrame", "output files (*.cnv)"), true, 3,
     {32843, 32840, QT_TRANSLATE_NOOP("CMainFrame", "Load from CNV File"), "load_cnv", QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items from CNV File")},
     {32851, 32849, QT_TRANSLATE_NOOP("CMainFrame", "Add NV Items from CNV File"), "load_cnv_add", QT_TRANSLATE_NOOP("CMainFrame", "Add NV Items from CNV File")},
     {32844, 32841, QT_TRANSLATE_NOOP("CMainFrame", "Save All Active to CNV File"), "save_all_cnv", QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to CNV File")},
     {32845, 32842, QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active to CNV File"), "save_selected_cnv",
      QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to CNV File")},
     false},
    {EBackupKind::Qcn, "qcn", QT_TRANSLATE_NOOP("CMainFrame", "QCN files (*.qcn)"), QT_TRANSLATE_NOOP("CMainFrame", "output files (*.qcn)"), true, 4,
     {32853, 0, QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items to QCN File"), "load_qcn", QT_TRANSLATE_NOOP("CMainFrame", "Load NV Items to QCN File")},
     {},
     {32854, 0, QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to QCN File"), "save_all_qcn", QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to QCN File")},
     {32855, 0, QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to QCN File"), "save_selected_qcn",
      QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to QCN File")},
     true},
    {EBackupKind::Xqcn, "xqcn", QT_TRANSLATE_NOOP("CMainFrame", "XQCN files (*.xqcn)"), QT_TRANSLATE_NOOP("CMainFrame", "output files (*.xqcn)"), false, 0,
     {32870, 0, QT_TRANSLATE_NOOP("CMainFrame", "Load from XQCN File")},
     {},
     {32871, 0, QT_TRANSLATE_NOOP("CMainFrame", "Save All Active NV Items to XQCN File")},
     {32872, 0, QT_TRANSLATE_NOOP("CMainFrame", "Save Selected && Active NV Items to XQCN File")},
     false},
};
}  // namespace

std::span<const SBackupCommands> BackupCommands() { return kKinds; }

const SBackupCommands* BackupCommandsOf(EBackupKind kind) {
    for (const SBackupCommands& row : kKinds)
        if (row.kind == kind) return &row;
    return nullptr;
}

const char* NumberedLayoutLabel() { return QT_TRANSLATE_NOOP("CMainFrame", "QCN, numbered-items layout (*.qcn)"); }
