// The texts of the wizard's three pages and their control numbers, one copy for every view: the Qt
// pages read the C++ names, the Windows dialog templates the macros (the resource compiler reads
// this header too and sees only the macros). A language file replaces the texts by dialog and
// control number; the string-table texts live in the core's table.
#pragma once

#define ZEL_DLG_SETTINGS 130
#define ZEL_DLG_DOWNLOAD 131
#define ZEL_DLG_COMPLETION 132

#define ZEL_TEXT_SHEET_CAPTION "Zelupdate"
#define ZEL_TEXT_PAGE_CAPTION "Zelscan Updates"

// Settings page. Controls without a number of their own (labels, frames) carry numbers from 2001
// so that a language can name them.
#define ZEL_IDC_DEFAULT_SETTINGS 1002
#define ZEL_IDC_USE_PROXY 1003
#define ZEL_IDC_HTTP_PROXY 1004
#define ZEL_IDC_FTP_PROXY 1005
#define ZEL_IDC_HTTP_PORT 1006
#define ZEL_IDC_FTP_PORT 1007
#define ZEL_IDC_DEFAULT_BUTTON 1018
#define ZEL_IDC_REGION_LIST 1019
#define ZEL_IDC_REGION_LABEL 2001
#define ZEL_IDC_PROXY_FRAME 2002
#define ZEL_IDC_HTTP_LABEL 2003
#define ZEL_IDC_FTP_LABEL 2004
#define ZEL_IDC_PORT_LABEL 2005
#define ZEL_TEXT_REGION "Choose your region:"
#define ZEL_TEXT_PROXY_FRAME "Proxy"
#define ZEL_TEXT_DEFAULT_SETTINGS "&Default settings (Recommended)"
#define ZEL_TEXT_USE_PROXY "Use &proxy server"
#define ZEL_TEXT_HTTP "HTTP:"
#define ZEL_TEXT_FTP "FTP:"
#define ZEL_TEXT_PORT "Port"
#define ZEL_TEXT_DEFAULT_BUTTON "Default"

// Download page.
#define ZEL_IDC_STATUS 1005
#define ZEL_IDC_CURRENT_BAR 1006
#define ZEL_IDC_TOTAL_BAR 1007
#define ZEL_IDC_FILE_LIST 1009
#define ZEL_IDC_TIME_LEFT 1011
#define ZEL_IDC_DOWNLOADED 1013
#define ZEL_IDC_PROGRESS_FRAME 2010
#define ZEL_IDC_CURRENT_LABEL 2011
#define ZEL_IDC_TOTAL_LABEL 2012
#define ZEL_IDC_TIME_LEFT_LABEL 2013
#define ZEL_IDC_LIST_FRAME 2014
#define ZEL_TEXT_PROGRESS "Progress"
#define ZEL_TEXT_CURRENT "Current"
#define ZEL_TEXT_TOTAL "Total"
#define ZEL_TEXT_TIME_LEFT_LABEL "Estimated time left :"
#define ZEL_TEXT_FILE_COLUMN "File"
#define ZEL_TEXT_SIZE_COLUMN "Size"

// Completion page.
#define ZEL_IDC_HEADLINE 1014
#define ZEL_IDC_MESSAGE 1015
#define ZEL_IDC_DETAILS 1020
#define ZEL_IDC_RUN_SCANNER 1023
#define ZEL_TEXT_HEADLINE "The update of the program has been successfully completed."
#define ZEL_TEXT_RUN_SCANNER "&Run Zelscan automatically"
#define ZEL_TEXT_DETAILS "&Details"

#ifndef RC_INVOKED
#include "framework/framework_types.h"

namespace zel::updater {

inline constexpr const char* kSheetCaption = ZEL_TEXT_SHEET_CAPTION;
inline constexpr const char* kPageCaption = ZEL_TEXT_PAGE_CAPTION;

// Shown when a port edit holds no integer; a string of the wizard's own.
constexpr UINT IDS_NOT_AN_INTEGER = 200;
inline constexpr const char* kNotAnInteger = "Please enter an integer.";

// Settings page (dialog 130).
namespace settings_dialog {
enum Control : int {
    kDefaultSettings = ZEL_IDC_DEFAULT_SETTINGS,
    kUseProxy = ZEL_IDC_USE_PROXY,
    kHttpProxy = ZEL_IDC_HTTP_PROXY,
    kFtpProxy = ZEL_IDC_FTP_PROXY,
    kHttpPort = ZEL_IDC_HTTP_PORT,
    kFtpPort = ZEL_IDC_FTP_PORT,
    kDefaultButton = ZEL_IDC_DEFAULT_BUTTON,
    kRegionList = ZEL_IDC_REGION_LIST,
    kRegionLabel = ZEL_IDC_REGION_LABEL,
    kProxyFrame = ZEL_IDC_PROXY_FRAME,
    kHttpLabel = ZEL_IDC_HTTP_LABEL,
    kFtpLabel = ZEL_IDC_FTP_LABEL,
    kPortLabel = ZEL_IDC_PORT_LABEL,
};
inline constexpr const char* kRegionText = ZEL_TEXT_REGION;
inline constexpr const char* kProxyFrameText = ZEL_TEXT_PROXY_FRAME;
inline constexpr const char* kDefaultSettingsText = ZEL_TEXT_DEFAULT_SETTINGS;
inline constexpr const char* kUseProxyText = ZEL_TEXT_USE_PROXY;
inline constexpr const char* kHttpText = ZEL_TEXT_HTTP;
inline constexpr const char* kFtpText = ZEL_TEXT_FTP;
inline constexpr const char* kPortText = ZEL_TEXT_PORT;
inline constexpr const char* kDefaultButtonText = ZEL_TEXT_DEFAULT_BUTTON;
}  // namespace settings_dialog

// Download page (dialog 131).
namespace download_dialog {
enum Control : int {
    kStatus = ZEL_IDC_STATUS,
    kCurrentBar = ZEL_IDC_CURRENT_BAR,
    kTotalBar = ZEL_IDC_TOTAL_BAR,
    kFileList = ZEL_IDC_FILE_LIST,
    kTimeLeft = ZEL_IDC_TIME_LEFT,
    kDownloaded = ZEL_IDC_DOWNLOADED,
    kProgressFrame = ZEL_IDC_PROGRESS_FRAME,
    kCurrentLabel = ZEL_IDC_CURRENT_LABEL,
    kTotalLabel = ZEL_IDC_TOTAL_LABEL,
    kTimeLeftLabel = ZEL_IDC_TIME_LEFT_LABEL,
};
inline constexpr const char* kProgressText = ZEL_TEXT_PROGRESS;
inline constexpr const char* kCurrentText = ZEL_TEXT_CURRENT;
inline constexpr const char* kTotalText = ZEL_TEXT_TOTAL;
inline constexpr const char* kTimeLeftText = ZEL_TEXT_TIME_LEFT_LABEL;
// The file list's columns and their widths in pixels.
inline constexpr const char* kFileColumn = ZEL_TEXT_FILE_COLUMN;
inline constexpr const char* kSizeColumn = ZEL_TEXT_SIZE_COLUMN;
constexpr int kFileColumnWidth = 190;
constexpr int kSizeColumnWidth = 90;
}  // namespace download_dialog

// Completion page (dialog 132).
namespace completion_dialog {
enum Control : int {
    kHeadline = ZEL_IDC_HEADLINE,
    kMessage = ZEL_IDC_MESSAGE,
    kDetails = ZEL_IDC_DETAILS,
    kRunScanner = ZEL_IDC_RUN_SCANNER
};
inline constexpr const char* kHeadlineText = ZEL_TEXT_HEADLINE;
inline constexpr const char* kRunScannerText = ZEL_TEXT_RUN_SCANNER;
inline constexpr const char* kDetailsText = ZEL_TEXT_DETAILS;
}  // namespace completion_dialog

}  // namespace zel::updater
#endif
