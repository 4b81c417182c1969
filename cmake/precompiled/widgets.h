// Precompiled for the widget layers (style kit and above): the core set plus
// the Qt Gui and Widgets headers most of their files include.
#pragma once

#include "core.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColor>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <QWidget>
