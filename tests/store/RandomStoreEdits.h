#pragma once

#include "store/ProfileStore.h"

#include <QStringList>

#include <functional>
#include <random>

namespace velmor::test {

// One random edit of every kind the store offers, made through the store's own
// operations on whatever profiles it holds. Values come from small pools, so
// that two copies often make the same change, or change the same thing
// differently.
class RandomStoreEdits {
public:
    using Rng = std::mt19937;

    explicit RandomStoreEdits(ProfileStore& store, Rng& rng) : store_(store), rng_(rng) { }

    // One edit; returns its name, for telling what a failing case did.
    QString apply()
    {
        const auto& edits = all();
        const Edit& edit = edits.at(index(edits.size()));
        edit.run(*this);
        return edit.name;
    }

    static inline const QStringList devices{QStringLiteral("tartarus_v2"), QStringLiteral("speechmike")};
    static inline const QStringList buttons{QStringLiteral("K01"), QStringLiteral("K02"), QStringLiteral("K03"),
                                            QStringLiteral("K04"), QStringLiteral("K05")};
    static inline const QStringList toolNames{QStringLiteral("Pan"), QStringLiteral("Magnify"), QStringLiteral("Zoom"),
                                              QStringLiteral("Window"), QStringLiteral("Measure")};

private:
    struct Edit {
        QString name;
        std::function<void(RandomStoreEdits&)> run;
    };
    static const QList<Edit>& all();

    qsizetype index(qsizetype size) { return std::uniform_int_distribution<qsizetype>(0, size - 1)(rng_); }
    bool coin() { return index(2) == 0; }
    template <typename T> const T& pick(const QList<T>& items) { return items.at(index(items.size())); }
    std::optional<QString> maybe(const QStringList& values)
    {
        return coin() ? std::nullopt : std::optional(pick(values));
    }

    // The edits below need something to edit: none of them runs on empty lists.
    // Copies: the operations change the lists these come from.
    PacsProfile pacs() { return pick(store_.pacsProfiles().get()); }
    UserProfile user() { return pick(store_.userProfiles().get()); }
    const PacsProfile* boundPacs(const UserProfile& profile) const;
    RadiologyTool newTool();
    RadiologyTool changedTool(RadiologyTool tool);
    KeyboardShortcut shortcut();
    QList<ButtonMapping> defaultsOf(const PacsProfile& profile);

    void addTool();
    void updateTool();
    void setShortcut();
    void deleteTool();
    void setMapping();
    void fillUnmapped();

    ProfileStore& store_;
    Rng& rng_;
};

} // namespace velmor::test
