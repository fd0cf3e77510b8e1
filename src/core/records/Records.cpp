#include "core/records/Records.h"

TDrawType DrawTypeOfColumn(int32_t orderBy) {
  return orderBy == 0 ? TDrawType::FromData : TDrawType::ByProbability;
}

TIdType IdTypeOfColumn(int32_t idType) {
  return idType == 0 ? TIdType::Numeric : TIdType::NonNumeric;
}

int32_t ColumnOf(TDrawType type) { return type == TDrawType::FromData ? 0 : 1; }

int32_t ColumnOf(TIdType type) { return type == TIdType::Numeric ? 0 : 1; }
