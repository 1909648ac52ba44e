#ifndef QMAILKEYNODE_P_H
#define QMAILKEYNODE_P_H

#include "qmaildatacomparator.h"

#include <QList>
#include <QSharedPointer>
#include <QString>

#include <functional>

// Internal representation shared by the account, folder and message keys: an immutable
// tree of criteria that the keys share between copies and the store evaluates in memory.
namespace QmfStandIn {

struct KeyNode;
typedef QSharedPointer<const KeyNode> KeyNodePtr;

struct KeyNode
{
    enum Combiner { Criterion, And, Or };
    enum Operator { Equal, NotEqual, Includes, Excludes };

    Combiner combiner = Criterion;
    bool negated = false;
    // Meaning depends on the key type; 0 marks a node without criterion (the empty key,
    // or, negated, the non-matching key).
    int property = 0;
    Operator op = Equal;
    QList<quint64> values;
    QString text;
    KeyNodePtr subKey;          // criteria over a related item (e.g. the parent account)
    QList<KeyNodePtr> children; // operands of And / Or
};

namespace Keys {

KeyNodePtr criterion(int property, KeyNode::Operator op, const QList<quint64> &values);
KeyNodePtr textCriterion(int property, KeyNode::Operator op, const QString &text);
KeyNodePtr subKeyCriterion(int property, KeyNode::Operator op, const KeyNodePtr &subKey);
// An id list criterion; one element is the single-value form, none matches nothing
// (Includes) or everything (Excludes).
KeyNodePtr listCriterion(int property, bool excludes, const QList<quint64> &values);

KeyNodePtr nonMatching();
bool isEmpty(const KeyNodePtr &node);
bool isNonMatching(const KeyNodePtr &node);
bool isNegated(const KeyNodePtr &node);
bool same(const KeyNodePtr &a, const KeyNodePtr &b);

KeyNodePtr negated(const KeyNodePtr &node);
KeyNodePtr conjunction(const KeyNodePtr &a, const KeyNodePtr &b);
KeyNodePtr disjunction(const KeyNodePtr &a, const KeyNodePtr &b);

// Walks the tree; `test` decides single criteria (nodes with a property).
bool evaluate(const KeyNodePtr &node, const std::function<bool(const KeyNode &)> &test);

// Helpers for criterion tests.
bool matchesStatus(const KeyNode &node, quint64 status);
bool matchesValue(const KeyNode &node, quint64 value);
bool matchesText(const KeyNode &node, const QString &text);

// The comparators of the public builders as node operators.
inline KeyNode::Operator equality(QMailDataComparator::EqualityComparator cmp)
{
    return cmp == QMailDataComparator::Equal ? KeyNode::Equal : KeyNode::NotEqual;
}

inline KeyNode::Operator inclusion(QMailDataComparator::InclusionComparator cmp)
{
    return cmp == QMailDataComparator::Includes ? KeyNode::Includes : KeyNode::Excludes;
}

template<typename IdList>
QList<quint64> idValues(const IdList &ids)
{
    QList<quint64> values;
    values.reserve(ids.size());
    for (const auto &id : ids)
        values.append(id.toULongLong());
    return values;
}

} // namespace Keys

// Gives the store and the keys' own sources access to the private parts of key classes.
struct KeyAccess
{
    template<typename Key>
    static KeyNodePtr node(const Key &key)
    {
        return key.d;
    }

    template<typename Key>
    static Key make(const KeyNodePtr &node)
    {
        Key key;
        key.d = node;
        return key;
    }

    template<typename SortKey>
    static auto criteria(const SortKey &key) -> decltype(key.m_criteria)
    {
        return key.m_criteria;
    }

    template<typename SortKey>
    static SortKey makeSort(int property, Qt::SortOrder order)
    {
        SortKey key;
        key.m_criteria.append(qMakePair(property, order));
        return key;
    }
};

// Property numbers of the key trees.
enum AccountKeyProperty { AccountIdProperty = 1, AccountStatusProperty, AccountNameProperty };

enum FolderKeyProperty {
    FolderIdProperty = 1,
    FolderStatusProperty,
    FolderPathProperty,
    FolderParentAccountIdProperty,
    FolderParentAccountKeyProperty,
    FolderParentFolderIdProperty
};

enum MessageKeyProperty {
    MessageIdProperty = 1,
    MessageStatusProperty,
    MessageParentAccountIdProperty,
    MessageParentAccountKeyProperty,
    MessageParentFolderIdProperty,
    MessageParentFolderKeyProperty
};

enum SortProperty { SortById = 1, SortByName, SortByPath, SortByTimeStamp };

} // namespace QmfStandIn

#endif // QMAILKEYNODE_P_H
