// Catalogues made by hand for the tests of what is built on a catalogue:
// previews, statements, the save. Each call appends one record as the
// recoveries would.
#pragma once

#include <cstdint>
#include <string>

#include "engine/Catalogue.h"
#include "engine/TypeCodes.h"

namespace mdftest {

struct CatalogueMaker {
  mendora::Catalogue c;

  void Object(std::u16string name, int64_t id, int64_t parent, std::u16string type) {
    mendora::_SYSOBJECTS o{std::move(name), id, parent, std::move(type)};
    c.objects.push_back(o);
    if (o.type == u"U ") c.userTables.push_back(o);
  }
  mendora::_SYSCOLUMNS& Column(int64_t table, std::u16string name, int16_t colid,
                               uint8_t xtype = mendora::kXInt, int16_t length = 4,
                               uint8_t status = 0) {
    mendora::_SYSCOLUMNS col;
    col.name = std::move(name);
    col.tableId = table;
    col.colid = colid;
    col.xtype = xtype;
    col.length = length;
    col.status = status;
    c.columns.push_back(col);
    return c.columns.back();
  }
  void Index(int32_t table, uint16_t indid, std::u16string name, bool unique = false,
             bool primaryKey = false) {
    mendora::_SYSINDEXES row;
    row.tableId = table;
    row.indid = indid;
    row.name = std::move(name);
    row.status = 0x03;
    row.unique = unique;
    row.primaryKey = primaryKey;
    c.indexRows.push_back(row);
  }
  void Key(uint32_t table, uint32_t indid, uint32_t colid, bool included = false,
           bool descending = false) {
    mendora::_SysIndexKeys k;
    k.objectId = table;
    k.indexId = indid;
    k.columnId = colid;
    k.included = included;
    k.descending = descending;
    c.indexKeys.push_back(k);
  }
  // One column of a foreign key: `refClass` kReferencingColumn or kReferencedColumn.
  void Reference(uint32_t foreignKey, uint32_t refClass, uint32_t table, uint32_t colid,
                 uint32_t place = 1) {
    c.dependencies.push_back({refClass, foreignKey, table, colid, place});
  }
  void CheckText(uint32_t constraint, std::u16string text, bool incomplete = false) {
    mendora::_Check_Constraints check;
    check.objectId = constraint;
    check.text = std::move(text);
    check.incomplete = incomplete;
    c.checkTexts.push_back(check);
  }
  void ModuleText(uint32_t module, std::u16string text, bool incomplete = false) {
    mendora::_Procedures p;
    p.objectId = module;
    p.text = std::move(text);
    p.incomplete = incomplete;
    c.moduleTexts.push_back(p);
  }
};

}  // namespace mdftest
