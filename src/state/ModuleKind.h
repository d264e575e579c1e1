#pragma once

#include <QString>

#include <array>

// The three modules and the home page (None). Each module keeps its rows in one table.
enum class ModuleKind { None, File, Dairy, Pwd };

inline constexpr std::array<ModuleKind, 3> kAllModules{ModuleKind::File, ModuleKind::Dairy, ModuleKind::Pwd};

// Everything that differs between the three modules, in one place.
struct ModuleInfo {
    ModuleKind kind;
    QString code;  // "FILE", "DAIRY", "PWD"
    QString table; // the table of its rows
    QString name;  // the stem of its controls' object names, its icons and its help section

    // The main window: the menu item, its status text, the navigation button and its image, and the
    // caption of the tree pane while the module is on show.
    QString menuText;
    QString statusTip;
    QString barText;
    QString barImage;
    QString paneCaption;

    // The tree: its rows cannot be opened; they stopped reading part-way.
    QString rowsOpenFailedText;
    QString treeReadFailedText;

    // Adding: the default caption and the outcome texts of a new folder and of a new record.
    QString folderCaption;
    QString folderAddedText;
    QString folderAddFailedText;
    QString recordCaption;
    QString recordAddedText;
    QString recordAddFailedText;

    // A record in the editor: the start of the status text after a load ("…创建于："), and the
    // outcome texts of its load and save.
    QString createdLabel;
    QString readErrorText;
    QString saveErrorText;
    QString savedText;
};

// The table of the three modules, in menu order.
const std::array<ModuleInfo, 3>& moduleInfos();
// The entry of a module; the home page has none.
const ModuleInfo& moduleInfo(ModuleKind module);

// "FILE", "DAIRY", "PWD"; empty for the home page.
QString moduleCode(ModuleKind module);
// "tb_Article", "tb_Dairy", "tb_Pwd"; empty for the home page.
QString moduleTable(ModuleKind module);
// None for anything that is not one of the three codes.
ModuleKind moduleFromCode(const QString& code);
// 0, 1, 2 for the three modules; for per-module arrays.
inline std::size_t moduleIndex(ModuleKind module)
{
    return static_cast<std::size_t>(module) - 1;
}
