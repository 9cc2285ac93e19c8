// The texts of the wizard's three pages and their control numbers. A language file replaces them by
// dialog and control number; the string-table texts live in the core's table.
#pragma once

#include "framework/framework_types.h"

namespace zel::updater {

inline constexpr const char* kSheetCaption = "Zelupdate";
inline constexpr const char* kPageCaption = "Zelscan Updates";

// Shown when a port edit holds no integer; a string of the wizard's own.
constexpr UINT IDS_NOT_AN_INTEGER = 200;
inline constexpr const char* kNotAnInteger = "Please enter an integer.";

// Settings page (dialog 130). Controls without a number of their own (labels, frames) carry
// numbers from 2001 so that a language can name them.
namespace settings_dialog {
enum Control : int {
    kDefaultSettings = 1002,
    kUseProxy = 1003,
    kHttpProxy = 1004,
    kFtpProxy = 1005,
    kHttpPort = 1006,
    kFtpPort = 1007,
    kDefaultButton = 1018,
    kRegionList = 1019,
    kRegionLabel = 2001,
    kProxyFrame = 2002,
    kHttpLabel = 2003,
    kFtpLabel = 2004,
    kPortLabel = 2005,
};
inline constexpr const char* kRegionText = "Choose your region:";
inline constexpr const char* kProxyFrameText = "Proxy";
inline constexpr const char* kDefaultSettingsText = "&Default settings (Recommended)";
inline constexpr const char* kUseProxyText = "Use &proxy server";
inline constexpr const char* kHttpText = "HTTP:";
inline constexpr const char* kFtpText = "FTP:";
inline constexpr const char* kPortText = "Port";
inline constexpr const char* kDefaultButtonText = "Default";
}  // namespace settings_dialog

// Download page (dialog 131).
namespace download_dialog {
enum Control : int {
    kStatus = 1005,
    kCurrentBar = 1006,
    kTotalBar = 1007,
    kFileList = 1009,
    kTimeLeft = 1011,
    kDownloaded = 1013,
    kProgressFrame = 2010,
    kCurrentLabel = 2011,
    kTotalLabel = 2012,
    kTimeLeftLabel = 2013,
};
inline constexpr const char* kProgressText = "Progress";
inline constexpr const char* kCurrentText = "Current";
inline constexpr const char* kTotalText = "Total";
inline constexpr const char* kTimeLeftText = "Estimated time left :";
// The file list's columns and their widths in pixels.
inline constexpr const char* kFileColumn = "File";
inline constexpr const char* kSizeColumn = "Size";
constexpr int kFileColumnWidth = 190;
constexpr int kSizeColumnWidth = 90;
}  // namespace download_dialog

// Completion page (dialog 132).
namespace completion_dialog {
enum Control : int { kHeadline = 1014, kMessage = 1015, kDetails = 1020, kRunScanner = 1023 };
inline constexpr const char* kHeadlineText = "The update of the program has been successfully completed.";
inline constexpr const char* kRunScannerText = "&Run Zelscan automatically";
inline constexpr const char* kDetailsText = "&Details";
}  // namespace completion_dialog

}  // namespace zel::updater
