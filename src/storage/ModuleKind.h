#pragma once

#include <QString>

#include <array>

// The three modules and the home page (None). Each module keeps its rows in one table.
enum class ModuleKind { None, File, Dairy, Pwd };

inline constexpr std::array<ModuleKind, 3> kAllModules{ModuleKind::File, ModuleKind::Dairy, ModuleKind::Pwd};

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
