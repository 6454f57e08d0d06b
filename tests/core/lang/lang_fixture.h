// Builds language files the way the build does: .tsv text through the real lang-build tool.
#pragma once

#include "core/platform/temp_tree.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace lang_test {

struct ToolRun {
    int exitCode = -1;
    std::string output; // stdout and stderr
};

// Runs lang-build on tsvPath, writing datPath.
inline ToolRun runTool(const std::string &tsvPath, const std::string &datPath)
{
    ToolRun r;
    std::string cmd = std::string("'") + LANG_BUILD_EXE + "' '" + tsvPath + "' '" + datPath + "' 2>&1";
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.output.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Writes <root>/src/<name>.tsv with text and builds <root>/<langFolder>/<name>.dat from it.
inline void buildLanguage(const platform_test::TempTree &tree, const std::string &name,
                          const std::string &tsv, const std::string &langFolder = "Language")
{
    tree.file("src/" + name + ".tsv", tsv);
    tree.dir(langFolder);
    ToolRun r = runTool(tree.path("src/" + name + ".tsv"), tree.path(langFolder + "/" + name + ".dat"));
    ASSERT_EQ(r.exitCode, 0) << r.output;
}

} // namespace lang_test
