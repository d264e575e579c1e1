#include "state/ModuleKind.h"

#include <stdexcept>

const std::array<ModuleInfo, 3>& moduleInfos()
{
    static const std::array<ModuleInfo, 3> infos = {{
        {
            ModuleKind::File,
            QStringLiteral("FILE"),
            QStringLiteral("tb_Article"),
            QStringLiteral("file"),
            QStringLiteral("文档管理(&F)"),
            QStringLiteral("文档管理"),
            QStringLiteral("文档管理"),
            QStringLiteral("nav-file"),
            QStringLiteral(" 文档管理"),
            QStringLiteral("读取文档管理数据失败,请检查程序的完整性!"),
            QStringLiteral("读取文档目录结构错误"),
            QStringLiteral("新建文件夹"),
            QStringLiteral("添加文件夹成功"),
            QStringLiteral("添加文件夹失败"),
            QStringLiteral("新建文件"),
            QStringLiteral("添加文件成功"),
            QStringLiteral("添加文件失败"),
            QStringLiteral("文档创建于："),
            QStringLiteral("读取文档出错"),
            QStringLiteral("修改文档出错"),
            QStringLiteral("修改文档成功"),
        },
        {
            ModuleKind::Dairy,
            QStringLiteral("DAIRY"),
            QStringLiteral("tb_Dairy"),
            QStringLiteral("dairy"),
            QStringLiteral("日记本(&D)"),
            QStringLiteral("日记管理"),
            QStringLiteral("日记本"),
            QStringLiteral("nav-dairy"),
            QStringLiteral(" 日记本"),
            QStringLiteral("读取日记数据失败,请检查程序的完整性!"),
            QStringLiteral("读取日记目录结构错误"),
            QStringLiteral("新建日记本"),
            QStringLiteral("添加日记本成功"),
            QStringLiteral("添加日记本失败"),
            QStringLiteral("新建日记"),
            QStringLiteral("添加日记成功"),
            QStringLiteral("添加日记失败"),
            QStringLiteral("日记创建于："),
            QStringLiteral("读取日记出错"),
            QStringLiteral("修改日记出错"),
            QStringLiteral("修改日记成功"),
        },
        {
            ModuleKind::Pwd,
            QStringLiteral("PWD"),
            QStringLiteral("tb_Pwd"),
            QStringLiteral("pwd"),
            QStringLiteral("密码箱(&P)"),
            QStringLiteral("密码管理"),
            QStringLiteral("密码箱"),
            QStringLiteral("nav-pwd"),
            QStringLiteral(" 密码箱"),
            QStringLiteral("读取密码箱数据失败,请检查程序的完整性!"),
            QStringLiteral("读取密码箱目录结构错误"),
            QStringLiteral("新建密码本"),
            QStringLiteral("添加密码本成功"),
            QStringLiteral("添加密码本失败"),
            QStringLiteral("新建密码"),
            QStringLiteral("添加密码成功"),
            QStringLiteral("添加密码失败"),
            QStringLiteral("密码创建于："),
            QStringLiteral("读取密码出错"),
            QStringLiteral("修改密码出错"),
            QStringLiteral("修改密码成功"),
        },
    }};
    return infos;
}

const ModuleInfo& moduleInfo(ModuleKind module)
{
    if (module == ModuleKind::None)
        throw std::invalid_argument("the home page is no module");
    return moduleInfos()[moduleIndex(module)];
}

QString moduleCode(ModuleKind module)
{
    return module == ModuleKind::None ? QString() : moduleInfo(module).code;
}

QString moduleTable(ModuleKind module)
{
    return module == ModuleKind::None ? QString() : moduleInfo(module).table;
}

ModuleKind moduleFromCode(const QString& code)
{
    for (const ModuleInfo& info : moduleInfos()) {
        if (info.code == code)
            return info.kind;
    }
    return ModuleKind::None;
}
