// Screenshots of forms for people to look at: grab() PNGs under <build>/artefacts/forms/.
#pragma once

#include <string>

class QWidget;

namespace forms_test {

// The folder the screenshots go to (created on demand).
std::string artefactDir();
// Saves widget->grab() as <artefactDir>/<name>.png; answers the path (empty, and the test fails,
// when it could not be written).
std::string screenshot(QWidget *widget, const std::string &name);

} // namespace forms_test
