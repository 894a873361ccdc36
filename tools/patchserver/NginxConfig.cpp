#include "NginxConfig.h"

#include "PatchService.h"

namespace zanth::tools {

std::string nginxServerBlock(const Manifest& manifest, const std::string& repositoryDir,
                             const std::string& listen)
{
    const std::string prefix = std::string("/") + kFilePathWord + "/" + manifest.repository + "/";
    std::string dir = repositoryDir;
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return "# Patch files of repository '" + manifest.repository + "' under signed, expiring addresses.\n"
           "# Keep this file private: it holds the repository's link secret.\n"
           "server {\n"
           "    listen " + listen + ";\n"
           "    location = " + prefix + kManifestName + " {\n"
           "        return 404;\n"
           "    }\n"
           "    location " + prefix + " {\n"
           "        alias " + dir + "/;\n"
           "        secure_link $arg_md5,$arg_expires;\n"
           "        secure_link_md5 \"$secure_link_expires$uri " + manifest.linkSecret + "\";\n"
           "        if ($secure_link = \"\") {\n"
           "            return 403;\n"
           "        }\n"
           "        if ($secure_link = \"0\") {\n"
           "            return 403;\n"
           "        }\n"
           "        types { }\n"
           "        default_type application/octet-stream;\n"
           "    }\n"
           "    location / {\n"
           "        return 404;\n"
           "    }\n"
           "}\n";
}

}  // namespace zanth::tools
