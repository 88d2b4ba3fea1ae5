#pragma once

#include <QString>

#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

namespace venqor::gui {

// The edge between the program's Windows-1251 texts and the widgets' QString.
QString FromCp1251(std::string_view text);
std::string ToCp1251(const QString& text);

// File names stay as the system spells them: a widget's text becomes the bytes the system
// expects, and back.
std::filesystem::path ToPath(const QString& text);
QString FromPath(const std::filesystem::path& path);

// The message of a failure for a message box: the core's messages are UTF-8 (they name
// files as the system does) or, where they quote the program's own texts, Windows-1251.
QString FailureText(const std::exception& failure);

} // namespace venqor::gui
