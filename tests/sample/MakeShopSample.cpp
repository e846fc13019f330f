// mendora-sample: writes the sample data file the build puts beside the
// program, a small shop database in the 2008 format made with the project's
// own builder, so that a new user has something to open at once.
//
//   mendora-sample OUTPUT.mdf
//
// Customers, Products, Orders and OrderLines with keys, a unique key,
// indexes, a foreign key and a check constraint, columns of many types, and
// a procedure, a function, a trigger and a view.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>

#include "engine/TypeCodes.h"
#include "tests/support/CatalogueBuilder.h"

using namespace mdftest;

namespace {

// Type codes the builder has no name for.
constexpr uint8_t kUniqueIdentifier = mendora::kXUniqueIdentifier,
                  kSmallDateTime = mendora::kXSmallDateTime, kReal = mendora::kXReal,
                  kMoney = mendora::kXMoney, kFloat = mendora::kXFloat,
                  kDecimal = mendora::kXDecimal;

ColumnDef Column(const std::u16string& name, uint8_t type, int16_t length, bool notNull,
                 uint8_t prec = 0, uint8_t scale = 0) {
  return {name, type, length, notNull, prec, scale};
}

Value TinyIntValue(uint8_t v) {
  return U8(v);
}
Value SmallIntValue(int16_t v) {
  return U16(static_cast<uint16_t>(v));
}
// Money: a count of 1/10 000 units.
Value MoneyValue(double amount) {
  return U64(static_cast<uint64_t>(std::llround(amount * 10000)));
}
Value RealValue(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return U32(bits);
}
Value FloatValue(double v) {
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  return U64(bits);
}

// Days from 1900-01-01 to a civil date.
int32_t DaysSince1900(int y, int m, int d) {
  // Days from 1970-01-01, by the usual 400-year cycle with years from March.
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + 25567;
}
// datetime: ticks of 1/300 second since midnight, then days since 1900-01-01.
Value DateTimeValue(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  const uint32_t ticks = static_cast<uint32_t>((hh * 3600 + mm * 60 + ss) * 300);
  return Concat({U32(ticks), U32(static_cast<uint32_t>(DaysSince1900(y, m, d)))});
}
// smalldatetime: minutes since midnight, then days since 1900-01-01.
Value SmallDateTimeValue(int y, int m, int d, int hh, int mm) {
  return Concat({U16(static_cast<uint16_t>(hh * 60 + mm)),
                 U16(static_cast<uint16_t>(DaysSince1900(y, m, d)))});
}
// decimal of precision 1 to 9: a sign byte (1 positive) and a 4-byte magnitude.
Value Decimal9Value(int64_t scaled) {
  return Concat({U8(scaled < 0 ? 0 : 1), U32(static_cast<uint32_t>(std::llabs(scaled)))});
}
// uniqueidentifier: the first three groups little-endian, the rest as written.
Value GuidValue(uint32_t a, uint16_t b, uint16_t c, uint64_t d) {
  ByteVec tail;
  for (int i = 7; i >= 0; --i) tail.push_back(std::byte((d >> (8 * i)) & 0xFF));
  return Concat({U32(a), U16(b), U16(c), tail});
}

void AddCustomers(CatalogueBuilder& shop, int32_t& customers) {
  customers = shop.AddTable(
      u"Customers",
      {IntColumn(u"CustomerID", true), Column(u"Name", xtype::kNVarChar, 120, true),
       VarCharColumn(u"Email", 120), NVarCharColumn(u"City", 40),
       Column(u"Joined", xtype::kDateTime, 8, true), BitColumn(u"IsActive"),
       Column(u"RowGuid", kUniqueIdentifier, 16, true)},
      {
          {IntValue(1), NVarCharValue(u"Ada Lindqvist"), VarCharValue("ada@shop.example"),
           NVarCharValue(u"Uppsala"), DateTimeValue(2008, 3, 14, 9, 30), BitValue(true),
           GuidValue(0x6f9619ff, 0x8b86, 0xd011, 0xb42d00c04fc964ffULL)},
          {IntValue(2), NVarCharValue(u"Bruno Carvalho"), VarCharValue("bruno@shop.example"),
           NVarCharValue(u"Porto"), DateTimeValue(2008, 7, 2, 14, 5), BitValue(true),
           GuidValue(0x1c2a3b4d, 0x5e6f, 0x4a1b, 0x9c8d7e6f5a4b3c2dULL)},
          {IntValue(3), NVarCharValue(u"Chiara Russo"), kNull, NVarCharValue(u"Torino"),
           DateTimeValue(2009, 1, 20, 11, 0), BitValue(false),
           GuidValue(0xa1b2c3d4, 0xe5f6, 0x4789, 0x0a1b2c3d4e5f6071ULL)},
          {IntValue(4), NVarCharValue(u"Dmitri Volkov"), VarCharValue("dmitri@shop.example"), kNull,
           DateTimeValue(2009, 11, 5, 16, 45), BitValue(true),
           GuidValue(0x0badf00d, 0x1234, 0x4321, 0x8899aabbccddeeffULL)},
      });
  shop.AddKey(customers, u"PK_Customers", "PK", {1}, true);
  shop.AddIndex(customers, u"IX_Customers_City", {4});
}

int32_t AddProducts(CatalogueBuilder& shop) {
  const int32_t products = shop.AddTable(
      u"Products",
      {IntColumn(u"ProductID", true), CharColumn(u"Sku", 12),
       Column(u"Name", xtype::kNVarChar, 160, true), Column(u"Price", kMoney, 8, true),
       Column(u"Weight", kDecimal, 5, false, 9, 3), Column(u"Stock", xtype::kSmallInt, 2, true),
       Column(u"Rating", kReal, 4, false), BitColumn(u"Discontinued")},
      {
          {IntValue(10), CharValue("TEA-GRN-0100", 12), NVarCharValue(u"Green tea, 100 g"),
           MoneyValue(4.95), Decimal9Value(100), SmallIntValue(240), RealValue(4.5f),
           BitValue(false)},
          {IntValue(11), CharValue("COF-BEA-0500", 12), NVarCharValue(u"Coffee beans, 500 g"),
           MoneyValue(12.5), Decimal9Value(500), SmallIntValue(85), RealValue(4.75f),
           BitValue(false)},
          {IntValue(12), CharValue("MUG-STN-0001", 12), NVarCharValue(u"Stoneware mug"),
           MoneyValue(8.0), Decimal9Value(420), SmallIntValue(32), kNull, BitValue(false)},
          {IntValue(13), CharValue("KET-STL-0001", 12), NVarCharValue(u"Steel kettle"),
           MoneyValue(39.9), Decimal9Value(1250), SmallIntValue(0), RealValue(3.25f),
           BitValue(true)},
      });
  shop.AddKey(products, u"PK_Products", "PK", {1}, true);
  shop.AddKey(products, u"UQ_Products_Sku", "UQ", {2});
  return products;
}

int32_t AddOrders(CatalogueBuilder& shop) {
  const int32_t orders = shop.AddTable(
      u"Orders",
      {IntColumn(u"OrderID", true), IntColumn(u"CustomerID", true),
       Column(u"OrderDate", xtype::kDateTime, 8, true),
       Column(u"ShippedDate", kSmallDateTime, 4, false), Column(u"Total", kMoney, 8, true),
       Column(u"Status", xtype::kTinyInt, 1, true), VarCharColumn(u"Note", 200)},
      {
          {IntValue(1001), IntValue(1), DateTimeValue(2010, 2, 1, 10, 12, 5),
           SmallDateTimeValue(2010, 2, 3, 8, 0), MoneyValue(17.45), TinyIntValue(2),
           VarCharValue("Leave at the door")},
          {IntValue(1002), IntValue(2), DateTimeValue(2010, 2, 4, 18, 40, 0),
           SmallDateTimeValue(2010, 2, 5, 9, 30), MoneyValue(39.9), TinyIntValue(2), kNull},
          {IntValue(1003), IntValue(1), DateTimeValue(2010, 3, 9, 7, 55, 30), kNull,
           MoneyValue(24.0), TinyIntValue(1), VarCharValue("Gift wrap")},
          {IntValue(1004), IntValue(4), DateTimeValue(2010, 3, 12, 21, 3, 0), kNull,
           MoneyValue(11.25), TinyIntValue(0), kNull},
      });
  shop.AddKey(orders, u"PK_Orders", "PK", {1}, true);
  shop.AddIndex(orders, u"IX_Orders_CustomerID", {2});
  shop.AddCheck(orders, u"CK_Orders_Status", "([Status]>=(0) AND [Status]<=(3))");
  return orders;
}

int32_t AddOrderLines(CatalogueBuilder& shop) {
  auto line = [](int32_t order, int16_t number, int32_t product, int32_t quantity, double price,
                 double discount) -> Row {
    return {IntValue(order),    SmallIntValue(number), IntValue(product),
            IntValue(quantity), MoneyValue(price),     FloatValue(discount)};
  };
  const int32_t lines = shop.AddTable(
      u"OrderLines",
      {IntColumn(u"OrderID", true), Column(u"LineNo", xtype::kSmallInt, 2, true),
       IntColumn(u"ProductID", true), IntColumn(u"Quantity", true),
       Column(u"UnitPrice", kMoney, 8, true), Column(u"Discount", kFloat, 8, false)},
      {line(1001, 1, 10, 1, 4.95, 0), line(1001, 2, 11, 1, 12.5, 0), line(1002, 1, 13, 1, 39.9, 0),
       line(1003, 1, 12, 3, 8.0, 0), line(1004, 1, 11, 1, 12.5, 0.1)});
  shop.AddKey(lines, u"PK_OrderLines", "PK", {1, 2}, true);
  shop.AddIndex(lines, u"IX_OrderLines_ProductID", {3});
  return lines;
}

void AddForeignKey(CatalogueBuilder& shop, const std::u16string& name, int32_t from,
                   int16_t fromColumn, int32_t to, int16_t toColumn) {
  const int32_t fk = shop.AddObject(name, "F ", from);
  shop.AddDependency(27, fk, 0, to, 0);
  shop.AddDependency(28, fk, 1, from, fromColumn);
  shop.AddDependency(29, fk, 1, to, toColumn);
}

void AddModules(CatalogueBuilder& shop, int32_t orders) {
  shop.AddModule("P ", u"GetCustomerOrders",
                 "CREATE PROCEDURE GetCustomerOrders @CustomerID int\r\nAS\r\n"
                 "SELECT OrderID, OrderDate, Total FROM Orders\r\n"
                 "WHERE CustomerID = @CustomerID\r\nORDER BY OrderDate\r\n");
  shop.AddModule("FN", u"OrderTotal",
                 "CREATE FUNCTION OrderTotal (@OrderID int)\r\nRETURNS money\r\nAS\r\nBEGIN\r\n"
                 "  RETURN (SELECT SUM(Quantity * UnitPrice * (1 - ISNULL(Discount, 0)))\r\n"
                 "          FROM OrderLines WHERE OrderID = @OrderID)\r\nEND\r\n");
  shop.AddModule("TR", u"trg_Orders_Shipped",
                 "CREATE TRIGGER trg_Orders_Shipped ON Orders AFTER UPDATE\r\nAS\r\n"
                 "UPDATE Orders SET Status = 2\r\nFROM Orders JOIN inserted i ON "
                 "Orders.OrderID = i.OrderID\r\nWHERE i.ShippedDate IS NOT NULL\r\n",
                 orders);
  shop.AddModule("V ", u"ActiveCustomers",
                 "CREATE VIEW ActiveCustomers AS\r\n"
                 "SELECT CustomerID, Name, City FROM Customers WHERE IsActive = 1\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mendora-sample OUTPUT.mdf\n");
    return 2;
  }
  try {
    CatalogueBuilder shop(655, u"Shop");
    int32_t customers = 0;
    AddCustomers(shop, customers);
    const int32_t products = AddProducts(shop);
    const int32_t orders = AddOrders(shop);
    const int32_t lines = AddOrderLines(shop);
    AddForeignKey(shop, u"FK_Orders_Customers", orders, 2, customers, 1);
    AddForeignKey(shop, u"FK_OrderLines_Orders", lines, 1, orders, 1);
    AddForeignKey(shop, u"FK_OrderLines_Products", lines, 3, products, 1);
    AddModules(shop, orders);
    const std::filesystem::path out(argv[1]);
    if (out.has_parent_path()) std::filesystem::create_directories(out.parent_path());
    // Written beside and moved into place, so that a half-written file is never
    // taken for the sample.
    const std::string partial = out.string() + ".partial";
    shop.WriteTo(partial);
    std::filesystem::rename(partial, out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mendora-sample: %s\n", e.what());
    return 1;
  }
  return 0;
}
