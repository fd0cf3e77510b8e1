// The draw type and id type lists of the configuration window: the one place where a list
// row becomes a typed value and back. A list without a choice (row -1) gives nullopt.
#pragma once

#include <QComboBox>
#include <optional>

#include "core/records/Records.h"

namespace config {

// Rows: 按导入数据抽奖, 按概率抽奖.
inline std::optional<TDrawType> ChosenDrawType(const QComboBox* list) {
  switch (list->currentIndex()) {
    case 0:
      return TDrawType::FromData;
    case 1:
      return TDrawType::ByProbability;
    default:
      return std::nullopt;
  }
}

inline void ShowDrawType(QComboBox* list, TDrawType type) {
  list->setCurrentIndex(type == TDrawType::FromData ? 0 : 1);
}

// Rows: 数字, 非数字.
inline std::optional<TIdType> ChosenIdType(const QComboBox* list) {
  switch (list->currentIndex()) {
    case 0:
      return TIdType::Numeric;
    case 1:
      return TIdType::NonNumeric;
    default:
      return std::nullopt;
  }
}

inline void ShowIdType(QComboBox* list, TIdType type) {
  list->setCurrentIndex(type == TIdType::Numeric ? 0 : 1);
}

}  // namespace config
