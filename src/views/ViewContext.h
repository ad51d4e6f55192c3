// SPDX-License-Identifier: MIT
#pragma once

class AppSettings;
class BinaryManager;
class FileChooser;
class ImportExportManager;
class InstanceManager;
class LoginAutostart;
class Preferences;
class Prompter;
class UrlOpener;

// What the windows are built on: the managers they read and call, and the seams through which
// they ask the user. The application hands in the shared objects; tests their own.
struct ViewContext
{
    AppSettings *settings = nullptr;
    InstanceManager *instances = nullptr;
    BinaryManager *binary = nullptr;
    ImportExportManager *importExport = nullptr;
    FileChooser *fileChooser = nullptr;
    Prompter *prompter = nullptr;
    Preferences *preferences = nullptr;
    // Absent where the application cannot be started at login.
    LoginAutostart *loginAutostart = nullptr;
    UrlOpener *urlOpener = nullptr;
};
