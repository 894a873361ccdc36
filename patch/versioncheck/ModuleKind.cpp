#include "ModuleKind.h"

#include "interface/PatchSession.h"

namespace tavo {

namespace {
struct ModuleName {
    const char* name;
    int kind;
};
constexpr ModuleName kModules[] = {{"Mendrel", 0}, {"RTPatch", 1}, {"VcdPatch", 2}};
}  // namespace

int moduleKindFromName(const std::string& name) {
    for (const ModuleName& m : kModules)
        if (name == m.name) return m.kind;
    return kModuleUnknown;
}

}  // namespace tavo
