#pragma once

#include <QDateTime>
#include <QString>

#include <array>

// The record of one module as the editor shows it, decrypted: a document, a diary entry or a password
// entry. Folders are rows of the same tables and load the same way. The rich-text body of documents
// and diary entries travels beside it, as RTF bytes.
struct RecordValues {
    int id = 0;
    QString caption;
    QString summary; // documents and diary entries
    // Diary entries: the day written about, and its weather as typed.
    QDateTime dairyDate;
    QString weather;
    // Password entries: account name, password, address, remarks.
    std::array<QString, 4> account;

    QDateTime created;
    QDateTime updated;
    QString userId;
    int folderType = 0;
    QString parentId;
    int orderId = 0;

    int rank = 0;      // 1: marked "重要"
    int level = 0;     // the protection level of the stored row
    QString recordKey; // the key of the fields other than the caption; in memory only
};

// The current record of each module.
using ArticleRecord = RecordValues;
using DairyRecord = RecordValues;
using PwdRecord = RecordValues;
