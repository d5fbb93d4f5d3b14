// Placeholder until the item files land.
#include "tessiva_doc.h"
int CTessivaDoc::SaveAllActiveToBrt(const std::string&) { return 0; }
int CTessivaDoc::SaveSelectedActiveToBrt(const std::string&) { return 0; }
int CTessivaDoc::StartStoreBrt(const std::string&, CNVItemArray&) { return 0; }
int CTessivaDoc::StartLoadBrt(const std::string&) { return 0; }
int CTessivaDoc::StoreBrt() { return 0; }
int CTessivaDoc::LoadBrt() { return 0; }
int CTessivaDoc::SaveAllActiveToCnv(const std::string&) { return 0; }
int CTessivaDoc::SaveSelectedActiveToCnv(const std::string&) { return 0; }
int CTessivaDoc::StartStoreCnv(const std::string&, CNVItemArray&) { return 0; }
int CTessivaDoc::StartLoadCnv(const std::string&) { return 0; }
int CTessivaDoc::StoreCnv() { return 0; }
int CTessivaDoc::LoadCnv() { return 0; }
bool CTessivaDoc::WriteItemList(const CNVItemArray&) { return false; }
bool CTessivaDoc::SaveAllActiveToQcn(const std::string&) { return false; }
bool CTessivaDoc::SaveSelectedActiveToQcn(const std::string&) { return false; }
bool CTessivaDoc::SaveQcn(const std::string&, const CNVItemArray&) { return false; }
bool CTessivaDoc::LoadQcn(const std::string&) { return false; }
void CTessivaDoc::CompleteArrayElements() {}
int CTessivaDoc::StartFillUp(int) { return 0; }
int CTessivaDoc::FillUpItems() { return 0; }
bool CTessivaDoc::MergeItems(const CNVItemArray&) { return false; }
