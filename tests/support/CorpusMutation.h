#pragma once

// Shared by the tests that replay a parser's fuzz corpus with any compiler: reading the committed
// corpus, and one deterministic mutation of an input (byte flips, token inserts, cuts, splices
// with another input, repeats), so that the replay also walks past the corpus itself.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QVector>

#include <cstddef>

// Every file of the folder, in name order; an unreadable file is left out (the caller checks the
// count it expects).
inline QVector<QByteArray> readCorpus(const QString& folder) {
    QVector<QByteArray> inputs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        if (f.open(QIODevice::ReadOnly)) inputs << f.readAll();
    }
    return inputs;
}

// One to four edits of a corpus input picked at random. An empty token stands for a NUL byte.
inline QByteArray mutatedInput(QRandomGenerator& rng, const QVector<QByteArray>& corpus, const QByteArray* tokens,
                               std::size_t tokenCount, int maxCut, int maxRepeat) {
    QByteArray in = corpus[int(rng.bounded(corpus.size()))];
    const int edits = 1 + int(rng.bounded(4));
    for (int e = 0; e < edits; ++e) {
        const int pos = in.isEmpty() ? 0 : int(rng.bounded(in.size()));
        switch (rng.bounded(5)) {
            case 0: if (!in.isEmpty()) in[pos] = char(rng.bounded(256)); break;
            case 1: {
                const QByteArray& t = tokens[rng.bounded(int(tokenCount))];
                in.insert(pos, t.isEmpty() ? QByteArray(1, '\0') : t);
                break;
            }
            case 2: in.remove(pos, 1 + int(rng.bounded(maxCut))); break;
            case 3: {
                const QByteArray& other = corpus[int(rng.bounded(corpus.size()))];
                in = in.left(pos) + other.mid(int(rng.bounded(other.size() + 1)));
                break;
            }
            default: in.insert(pos, in.mid(pos, int(rng.bounded(maxRepeat)))); break;
        }
    }
    return in;
}
