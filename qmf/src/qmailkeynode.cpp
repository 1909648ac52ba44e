#include "qmailkeynode_p.h"

namespace QmfStandIn {
namespace Keys {

namespace {

KeyNodePtr share(KeyNode *node)
{
    return KeyNodePtr(node);
}

// The store's text comparisons ignore letter case for ASCII only, like SQL's LIKE.
QString asciiLower(const QString &text)
{
    QString folded = text;
    for (QChar &c : folded) {
        if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

bool isPositive(KeyNode::Operator op)
{
    return op == KeyNode::Equal || op == KeyNode::Includes;
}

KeyNodePtr combination(KeyNode::Combiner combiner, const KeyNodePtr &a, const KeyNodePtr &b)
{
    auto *node = new KeyNode;
    node->combiner = combiner;
    // Flatten un-negated operands of the same kind so that (a & b) & c equals a & (b & c).
    for (const KeyNodePtr &operand : {a, b}) {
        if (operand->combiner == combiner && !operand->negated)
            node->children += operand->children;
        else
            node->children.append(operand);
    }
    return share(node);
}

} // namespace

KeyNodePtr criterion(int property, KeyNode::Operator op, const QList<quint64> &values)
{
    auto *node = new KeyNode;
    node->property = property;
    node->op = op;
    node->values = values;
    return share(node);
}

KeyNodePtr textCriterion(int property, KeyNode::Operator op, const QString &text)
{
    auto *node = new KeyNode;
    node->property = property;
    node->op = op;
    node->text = text;
    return share(node);
}

KeyNodePtr subKeyCriterion(int property, KeyNode::Operator op, const KeyNodePtr &subKey)
{
    auto *node = new KeyNode;
    node->property = property;
    node->op = op;
    node->subKey = subKey;
    return share(node);
}

KeyNodePtr listCriterion(int property, bool excludes, const QList<quint64> &values)
{
    if (values.isEmpty())
        return excludes ? KeyNodePtr() : nonMatching();
    if (values.size() == 1)
        return criterion(property, excludes ? KeyNode::NotEqual : KeyNode::Equal, values);
    return criterion(property, excludes ? KeyNode::Excludes : KeyNode::Includes, values);
}

KeyNodePtr nonMatching()
{
    auto *node = new KeyNode;
    node->negated = true;
    return share(node);
}

bool isEmpty(const KeyNodePtr &node)
{
    return !node || (node->combiner == KeyNode::Criterion && node->property == 0 && !node->negated);
}

bool isNonMatching(const KeyNodePtr &node)
{
    return node && node->combiner == KeyNode::Criterion && node->property == 0 && node->negated;
}

bool isNegated(const KeyNodePtr &node)
{
    return node && node->negated;
}

bool same(const KeyNodePtr &a, const KeyNodePtr &b)
{
    if (isEmpty(a) || isEmpty(b))
        return isEmpty(a) && isEmpty(b);
    if (a == b)
        return true;
    if (a->combiner != b->combiner || a->negated != b->negated || a->property != b->property
        || a->op != b->op || a->values != b->values || a->text != b->text
        || a->children.size() != b->children.size() || !same(a->subKey, b->subKey)) {
        return false;
    }
    for (int i = 0; i < a->children.size(); ++i) {
        if (!same(a->children.at(i), b->children.at(i)))
            return false;
    }
    return true;
}

KeyNodePtr negated(const KeyNodePtr &node)
{
    if (!node)
        return nonMatching();
    auto *copy = new KeyNode(*node);
    copy->negated = !copy->negated;
    return share(copy);
}

KeyNodePtr conjunction(const KeyNodePtr &a, const KeyNodePtr &b)
{
    if (isNonMatching(a) || isNonMatching(b))
        return nonMatching();
    if (isEmpty(a))
        return b;
    if (isEmpty(b))
        return a;
    return combination(KeyNode::And, a, b);
}

KeyNodePtr disjunction(const KeyNodePtr &a, const KeyNodePtr &b)
{
    // The empty key is the identity of | (as of &), so that `k = K(); k |= a;` means a.
    if (isNonMatching(a))
        return b;
    if (isNonMatching(b))
        return a;
    if (isEmpty(a))
        return b;
    if (isEmpty(b))
        return a;
    return combination(KeyNode::Or, a, b);
}

bool evaluate(const KeyNodePtr &node, const std::function<bool(const KeyNode &)> &test)
{
    if (!node)
        return true;
    bool result = true;
    switch (node->combiner) {
    case KeyNode::Criterion:
        result = node->property == 0 || test(*node);
        break;
    case KeyNode::And:
        for (const KeyNodePtr &child : node->children) {
            if (!evaluate(child, test)) {
                result = false;
                break;
            }
        }
        break;
    case KeyNode::Or:
        result = false;
        for (const KeyNodePtr &child : node->children) {
            if (evaluate(child, test)) {
                result = true;
                break;
            }
        }
        break;
    }
    return node->negated ? !result : result;
}

bool matchesStatus(const KeyNode &node, quint64 status)
{
    const quint64 mask = node.values.value(0);
    switch (node.op) {
    case KeyNode::Includes:
        return (status & mask) != 0;
    case KeyNode::Excludes:
        return (status & mask) == 0;
    case KeyNode::Equal:
        return status == mask;
    case KeyNode::NotEqual:
        return status != mask;
    }
    return false;
}

bool matchesValue(const KeyNode &node, quint64 value)
{
    return node.values.contains(value) == isPositive(node.op);
}

bool matchesText(const KeyNode &node, const QString &text)
{
    const QString subject = asciiLower(text);
    const QString wanted = asciiLower(node.text);
    switch (node.op) {
    case KeyNode::Equal:
        return subject == wanted;
    case KeyNode::NotEqual:
        return subject != wanted;
    case KeyNode::Includes:
        return subject.contains(wanted);
    case KeyNode::Excludes:
        return !subject.contains(wanted);
    }
    return false;
}

} // namespace Keys
} // namespace QmfStandIn
