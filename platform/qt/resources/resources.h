// The program's resources: the resource script and the files it names, read
// at run time from the Qt resources built into the program (":/app/"). Internal
// to the Qt platform layer.
#pragma once

#include "platform/qt/resources/rc_script.h"

#include <QString>

// Where the script "melodiane.rc" and its files are read from; ":/app/" unless
// a test points elsewhere. Forgets the script read so far.
void resources_set_root(const QString& root);

// The script, read once; empty when there is none.
const RcScript& resources_script();

// The template, menu or file resource a program asks for by name, or null.
const RcDialog* resources_find_dialog(const char* name);
const RcMenu* resources_find_menu(const char* name);
const RcFile* resources_find_file(const char* type, const char* name);

// The path of a file the script names (a BITMAP's file, for example).
QString resources_path(const std::string& file);
