// Placeholder until the phone link lands.
#include "tessiva_doc.h"
bool CTessivaDoc::Connect() { return false; }
bool CTessivaDoc::Disconnect() { m_phone = nullptr; return false; }
bool CTessivaDoc::CheckConnected() { return false; }
int CTessivaDoc::StartUpload(const std::string&) { return 0; }
int CTessivaDoc::UploadItems() { return 0; }
int CTessivaDoc::DownloadAllActive() { return 0; }
int CTessivaDoc::DownloadSelectedActive() { return 0; }
int CTessivaDoc::StartDownload(CNVItemArray&) { return 0; }
int CTessivaDoc::DownloadItems() { return 0; }
int CTessivaDoc::SendSpcCode(const std::string&) { return 0; }
