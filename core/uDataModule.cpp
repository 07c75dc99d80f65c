#include "uDataModule.h"

Tdm* dm = nullptr;

int TImageList::Add(const QImage& image) {
    m_images.append(image);
    return Count() - 1;
}
void TImageList::TruncateTo(int count) {
    while (Count() > count)
        m_images.removeLast();
}

Tdm::Tdm() {}
Tdm::~Tdm() { DataModuleDestroy(); }
void Tdm::DataModuleCreate() {}
void Tdm::DataModuleDestroy() {}
bool Tdm::ShortCutExists(const QString&) const { return false; }
void Tdm::AddShortCut(TQShortCut&) {}
void Tdm::DeleteShortCut(const TQShortCut&) {}
void Tdm::UpdateShortCut(const QString&, const TQShortCut&) {}
void Tdm::LoadShortCuts(const QString&, TQShortCutList& list) const { list.clear(); }
void Tdm::LoadGroups(TQShortCutGroupList&) const {}
bool Tdm::GroupExists(const QString&) const { return false; }
void Tdm::AddGroup(const TQShortCutGroup&) {}
void Tdm::SetGroupIndex(const QString&, int) {}
void Tdm::DeleteGroup(const QString&) {}
void Tdm::SetGroupOrder(const QStringList&) {}
