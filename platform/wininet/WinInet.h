#pragma once
// The Internet client library "wininet.dll": blocking FTP downloads and HTTP GET requests, with the
// handles, error codes and server response texts of the Windows library. Programs load it by name:
//
//   win::RegisterWinInetModule();                                   // once, in the program body
//   HMODULE lib = win::LoadLibrary("WININET.DLL");
//   auto open = reinterpret_cast<win::TInternetOpenA>(win::GetProcAddress(lib, "InternetOpenA"));
//
// Handles form a tree: a session (InternetOpenA), its connections (InternetConnectA) and their open
// files and requests (FtpOpenFileA, HttpOpenRequestA). Closing a handle closes its children.
//
// - FTP: InternetConnectA connects and logs in at once; FtpSetCurrentDirectoryA changes the directory as
//   the server's CWD does (relative to the current one); FtpOpenFileA starts the transfer and fails with
//   the server's answer when the file cannot be had. One open file per connection at a time.
// - HTTP: InternetConnectA only records the server; HttpSendRequestA connects, sends and waits for the
//   answer's headers. Any status succeeds: a "404" page is read like a file. Redirections are not
//   followed. A request carries credentials (basic) only when the connection was given a user name.
// - Reading: InternetReadFile returns what has arrived: the whole buffer, or less when the data ends or
//   when some bytes came and the rest has not within a tenth of a second; it waits only while nothing has
//   arrived. 0 bytes read means the end. InternetQueryDataAvailable answers the bytes still to come when
//   the server announced the size, otherwise those already received.
// - HTTP: InternetGetLastResponseInfoA gives the status line of the last answer.
// - Names and ports go through the prefix's hosts file and $SCRIVANE_PORT_MAP (NetAddress.h). No proxy
//   is ever used.
// - Time-outs: connecting (and an FTP login) may take the connect time-out; once connected, a server
//   that sends nothing for the receive time-out fails the waiting call with ERROR_INTERNET_TIMEOUT, and
//   so does a file or answer body that brings less than ProgressFloor bytes in that time (a trickle).
//   Both are set with InternetSetOptionA, for the process (null handle) or a handle and what is opened
//   from it later.
// - Errors: GetLastError gives the Windows code (ERROR_INTERNET_...). An FTP server's refusal gives
//   ERROR_INTERNET_EXTENDED_ERROR (or the login errors), and InternetGetLastResponseInfoA gives the
//   server's last answer, lines ended by CR LF.

#include <cstdint>
#include <functional>

#include "platform/win/Files.h"  // GENERIC_READ
#include "platform/win/WinTypes.h"

namespace win {

using HINTERNET = void*;
using INTERNET_PORT = WORD;
using DWORD_PTR = uintptr_t;

inline constexpr INTERNET_PORT INTERNET_DEFAULT_FTP_PORT = 21;
inline constexpr INTERNET_PORT INTERNET_DEFAULT_HTTP_PORT = 80;

inline constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
inline constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;

inline constexpr DWORD INTERNET_SERVICE_FTP = 1;
inline constexpr DWORD INTERNET_SERVICE_GOPHER = 2;
inline constexpr DWORD INTERNET_SERVICE_HTTP = 3;

inline constexpr DWORD FTP_TRANSFER_TYPE_ASCII = 1;
inline constexpr DWORD FTP_TRANSFER_TYPE_BINARY = 2;

inline constexpr DWORD INTERNET_FLAG_RELOAD = 0x80000000;
inline constexpr DWORD INTERNET_FLAG_EXISTING_CONNECT = 0x20000000;
inline constexpr DWORD INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000;

inline constexpr DWORD HTTP_QUERY_CONTENT_LENGTH = 5;
inline constexpr DWORD HTTP_QUERY_STATUS_CODE = 19;

inline constexpr DWORD INTERNET_OPTION_CONNECT_TIMEOUT = 2;
inline constexpr DWORD INTERNET_OPTION_RECEIVE_TIMEOUT = 6;

// Defaults of the two time-outs, in milliseconds.
inline constexpr DWORD DefaultConnectTimeout = 30000;
inline constexpr DWORD DefaultReceiveTimeout = 60000;

inline constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
inline constexpr DWORD ERROR_INTERNET_EXTENDED_ERROR = 12003;
inline constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
inline constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
inline constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
inline constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
inline constexpr DWORD ERROR_INTERNET_INVALID_OPTION = 12009;
inline constexpr DWORD ERROR_INTERNET_BAD_OPTION_LENGTH = 12010;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_USER_NAME = 12013;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_PASSWORD = 12014;
inline constexpr DWORD ERROR_INTERNET_LOGIN_FAILURE = 12015;
inline constexpr DWORD ERROR_INTERNET_INVALID_OPERATION = 12016;
inline constexpr DWORD ERROR_INTERNET_OPERATION_CANCELLED = 12017;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
inline constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_STATE = 12019;
inline constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
inline constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
inline constexpr DWORD ERROR_FTP_TRANSFER_IN_PROGRESS = 12110;
inline constexpr DWORD ERROR_HTTP_HEADER_NOT_FOUND = 12150;
inline constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
inline constexpr DWORD ERROR_HTTP_INVALID_QUERY_REQUEST = 12154;

// The exported functions, by the names the module exports them under.
BOOL InternetGetLastResponseInfoA(DWORD* error, char* buffer, DWORD* bufferLength);
HINTERNET InternetOpenA(const char* agent, DWORD accessType, const char* proxy, const char* proxyBypass, DWORD flags);
HINTERNET InternetConnectA(HINTERNET session, const char* serverName, INTERNET_PORT serverPort, const char* userName,
                           const char* password, DWORD service, DWORD flags, DWORD_PTR context);
BOOL FtpSetCurrentDirectoryA(HINTERNET connection, const char* directory);
BOOL InternetCloseHandle(HINTERNET handle);
BOOL InternetQueryDataAvailable(HINTERNET file, DWORD* bytesAvailable, DWORD flags, DWORD_PTR context);
BOOL InternetReadFile(HINTERNET file, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
HINTERNET FtpOpenFileA(HINTERNET connection, const char* fileName, DWORD access, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestA(HINTERNET connection, const char* verb, const char* objectName, const char* version,
                           const char* referrer, const char** acceptTypes, DWORD flags, DWORD_PTR context);
BOOL HttpSendRequestA(HINTERNET request, const char* headers, DWORD headersLength, void* optional,
                      DWORD optionalLength);
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, void* buffer, DWORD bufferLength);

using TInternetGetLastResponseInfoA = decltype(&InternetGetLastResponseInfoA);
using TInternetOpenA = decltype(&InternetOpenA);
using TInternetConnectA = decltype(&InternetConnectA);
using TFtpSetCurrentDirectoryA = decltype(&FtpSetCurrentDirectoryA);
using TInternetCloseHandle = decltype(&InternetCloseHandle);
using TInternetQueryDataAvailable = decltype(&InternetQueryDataAvailable);
using TInternetReadFile = decltype(&InternetReadFile);
using TFtpOpenFileA = decltype(&FtpOpenFileA);
using THttpOpenRequestA = decltype(&HttpOpenRequestA);
using THttpSendRequestA = decltype(&HttpSendRequestA);
using THttpQueryInfoA = decltype(&HttpQueryInfoA);
using TInternetSetOptionA = decltype(&InternetSetOptionA);

// Less than this many bytes of a body within the receive time-out is a time-out.
inline constexpr DWORD ProgressFloor = 1024;

// Not of the Windows library: while a call of this thread waits for a server, `check` runs at least
// every tenth of a second; when it answers true the call fails with ERROR_INTERNET_OPERATION_CANCELLED
// and the transfer is ended. Lets a caller keep its window alive and its Cancel prompt. Empty: none.
void SetInternetWaitCheck(std::function<bool()> check);

// Makes "wininet.dll" one of the built-in modules; calling it again changes nothing.
void RegisterWinInetModule();

}  // namespace win
