#include "audiocutabstract.h"

AudioCutAbstract::AudioCutAbstract(QObject *parent)
    : QObject(parent)
{
}

AudioCutAbstract::~AudioCutAbstract() = default;
