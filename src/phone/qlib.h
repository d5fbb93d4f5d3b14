#pragma once
// The phone-link library: the nine functions the document uses, with C linkage, plus a few
// additions for systems whose ports have names rather than numbers.
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// Kept for the calling order of the program; the link has a single mode.
void QLIB_SetLibraryMode(unsigned char mode);
// Opens COM port n (\\.\COMn; on Linux /dev/ttyS<n-1>); a handle, or null when the port can't be opened.
void* QLIB_ConnectServer(unsigned int comPort);
// Non-zero when the phone answers on this connection. A closed or unknown handle gives 0.
unsigned char QLIB_IsPhoneConnected(void* handle);
// Closes the connection; the handle is invalid afterwards.
void QLIB_DisconnectServer(void* handle);
// Each returns non-zero when the exchange with the phone worked; status gets the phone's
// status word unchanged (0 done, 5 not active, 7 read only, ...).
unsigned char QLIB_DIAG_NV_READ_F(void* handle, unsigned short itemId, unsigned char* buffer, int length,
                                  unsigned short* status);
unsigned char QLIB_DIAG_NV_READ_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                        unsigned char* buffer, int length, unsigned short* status);
unsigned char QLIB_DIAG_NV_WRITE_F(void* handle, unsigned short itemId, const unsigned char* value, int length,
                                   unsigned short* status);
unsigned char QLIB_DIAG_NV_WRITE_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                         const unsigned char* value, int length, unsigned short* status);
// Sends the 6 code bytes; accepted is set non-zero when the phone takes the code.
unsigned char QLIB_DIAG_SPC_F(void* handle, const unsigned char* code, unsigned char* accepted);

// Additions.
// The records a dual-SIM phone keeps per subscription, through the subsystem NV command:
// as the four calls above, for subscription 0 (the first), 1 (the second), ...
unsigned char QLIB_DIAG_SUBSCRIPTION_NV_READ_F(void* handle, unsigned short itemId, unsigned short subscription,
                                               unsigned char* buffer, int length, unsigned short* status);
unsigned char QLIB_DIAG_SUBSCRIPTION_NV_READ_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                                     unsigned short subscription, unsigned char* buffer, int length,
                                                     unsigned short* status);
unsigned char QLIB_DIAG_SUBSCRIPTION_NV_WRITE_F(void* handle, unsigned short itemId, unsigned short subscription,
                                                const unsigned char* value, int length, unsigned short* status);
unsigned char QLIB_DIAG_SUBSCRIPTION_NV_WRITE_ARRAY_F(void* handle, unsigned short itemId, unsigned char index,
                                                      unsigned short subscription, const unsigned char* value,
                                                      int length, unsigned short* status);
// The mode command (1 offline, 2 reset, 4 online, ...); non-zero when the phone took it.
unsigned char QLIB_DIAG_CONTROL_F(void* handle, unsigned short mode);
// Asks the phone for its ESN; non-zero when it answered with one.
unsigned char QLIB_DIAG_ESN_F(void* handle, unsigned int* esn);
// Opens a port by name or path ("ttyUSB0", "/dev/ttyUSB0", "COM3", "Com 3", "\\.\COM3").
void* QLIB_ConnectServerByName(const char* device);
// Milliseconds each request on this connection waits for its reply (2000 on a new one).
// Non-zero when the handle is a connection.
unsigned char QLIB_SetTimeout(void* handle, unsigned int milliseconds);
// The timeout of this connection; 0 for no connection.
unsigned int QLIB_GetTimeout(void* handle);
// Non-zero when a request on this connection timed out or its port went away; every
// request then fails at once until the next connect.
unsigned char QLIB_HasLinkFailed(void* handle);
// The reason of the last failed call on this thread, as a sentence; copies at most size - 1
// bytes and a terminating zero; returns the length of the whole text.
size_t QLIB_GetLastError(char* buffer, size_t size);

#ifdef __cplusplus
}

#include <memory>
#include <string>
class CDiagLink;
// The last error as a string (C++ callers).
std::string QLibLastError();
// The link of a connection, for clients of further commands (the phone's file system);
// null for no connection.
std::shared_ptr<CDiagLink> QLibLink(void* handle);
#endif
