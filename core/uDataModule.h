#pragma once

#include "uShortCut.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

class QSqlDatabase;

// A list of 32x32 pictures addressed by index.
class TImageList {
public:
    int Count() const { return static_cast<int>(m_images.size()); }
    const QImage& Image(int index) const { return m_images.at(index); }
    int Add(const QImage& image);
    // Removes the images from `index` to the end.
    void TruncateTo(int count);

private:
    QList<QImage> m_images;
};

// The data module: owns the store's connection, the category pictures and the file-type
// pictures for the whole run. Every window reads and writes data through it.
class Tdm {
public:
    // Loads the pictures only; DataModuleCreate prepares the folder and the tables.
    Tdm();
    ~Tdm();
    Tdm(const Tdm&) = delete;
    Tdm& operator=(const Tdm&) = delete;

    bool ShortCutExists(const QString& fileName) const;
    void AddShortCut(TQShortCut& shortCut);
    void DeleteShortCut(const TQShortCut& shortCut);
    void UpdateShortCut(const QString& oldFileName, const TQShortCut& shortCut);
    void LoadShortCuts(const QString& groupName, TQShortCutList& list) const;
    void LoadGroups(TQShortCutGroupList& list) const;
    bool GroupExists(const QString& groupName) const;
    void AddGroup(const TQShortCutGroup& group);
    void SetGroupIndex(const QString& groupName, int index);
    void DeleteGroup(const QString& groupName);
    // Saves the order of all categories at once: names[i] gets the number i + 1.
    void SetGroupOrder(const QStringList& names);

    TImageList ImageList1; // the 45 category pictures
    TImageList ImageList2; // the 4 file-type pictures; the main list appends .exe icons

    QString DataPath;
    QString ShortCutTable;
    QString GroupTable;
    QImage MissingFileBitmap;
    QImage BatFileBitmap;
    QImage ComFileBitmap;
    QImage OtherFileBitmap;

    // Prepares the data folder, the fields and the tables. Throws KeldaError
    // "Cannot create <DataPath>" when the folder cannot be made; every store operation
    // then fails with an error of its own.
    void DataModuleCreate();

private:
    void DataModuleDestroy();
    void LoadPictures();
    void OpenStore(const QString& separator);
    // The open connection; throws KeldaError when the store could not be opened.
    QSqlDatabase Database() const;

    QString m_connectionName;
    QString m_unavailableReason;
};

// Indexes of ImageList2.
enum FileTypePicture { PictureMissing = 0, PictureBat = 1, PictureCom = 2, PictureOther = 3 };

// Created at start-up before the main window, destroyed after it.
extern Tdm* dm;
