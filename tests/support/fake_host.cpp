#include "fake_host.h"

rio::Answer FakeHost::message(const QString& text, rio::Buttons buttons, rio::Icon icon, const QString& title)
{
    boxes.append({text, buttons, icon, title});
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == rio::Buttons::Ok ? rio::Answer::Ok : rio::Answer::Yes;
}

void FakeHost::yield()
{
    ++yields;
    if (onYield)
        onYield();
}

bool FakeHost::ticked(rio::Stage box) const
{
    const auto it = status.find(box);
    return it != status.end() && it->second;
}

int FakeHost::boxesContaining(const QString& fragment) const
{
    int n = 0;
    for (const Box& b : boxes)
        if (b.text.contains(fragment))
            ++n;
    return n;
}
