// The popover view model's own word list, kept under "customDictionaryWords".
#include "popover/PopoverViewModel.h"

#include "base/Defaults.h"

void PopoverViewModel::addWord(const QString& word)
{
    const QString trimmed = word.trimmed();
    if (trimmed.isEmpty() || words.contains(trimmed) || words.size() >= maximumDictionaryWords)
        return;
    QStringList list = words;
    list.append(trimmed);
    setDictionaryWords(list);
    saveDictionaryWords();
}

void PopoverViewModel::removeWord(const QString& word)
{
    QStringList list = words;
    list.removeAll(word);
    setDictionaryWords(list);
    saveDictionaryWords();
}

void PopoverViewModel::saveDictionaryWords()
{
    Defaults::setValue(QString::fromLatin1(dictionaryWordsKey), words);
}
