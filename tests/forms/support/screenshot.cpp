#include "forms/support/screenshot.h"

#include <QPixmap>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>

namespace forms_test {

std::string artefactDir()
{
    return SV_ARTEFACT_DIR;
}

std::string screenshot(QWidget *widget, const std::string &name)
{
    std::error_code ec;
    std::filesystem::create_directories(artefactDir(), ec);
    const std::string path = artefactDir() + "/" + name + ".png";
    if (!widget->grab().save(QString::fromStdString(path), "PNG")) {
        ADD_FAILURE() << "cannot write the screenshot " << path;
        return {};
    }
    return path;
}

} // namespace forms_test
