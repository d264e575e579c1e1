#include "storage/ModuleKind.h"

QString moduleCode(ModuleKind module)
{
    switch (module) {
    case ModuleKind::File:
        return QStringLiteral("FILE");
    case ModuleKind::Dairy:
        return QStringLiteral("DAIRY");
    case ModuleKind::Pwd:
        return QStringLiteral("PWD");
    case ModuleKind::None:
        break;
    }
    return {};
}

QString moduleTable(ModuleKind module)
{
    switch (module) {
    case ModuleKind::File:
        return QStringLiteral("tb_Article");
    case ModuleKind::Dairy:
        return QStringLiteral("tb_Dairy");
    case ModuleKind::Pwd:
        return QStringLiteral("tb_Pwd");
    case ModuleKind::None:
        break;
    }
    return {};
}

ModuleKind moduleFromCode(const QString& code)
{
    for (ModuleKind module : kAllModules) {
        if (moduleCode(module) == code)
            return module;
    }
    return ModuleKind::None;
}
