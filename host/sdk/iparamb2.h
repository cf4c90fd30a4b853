#pragma once
// The host's parameter blocks: a typed schema (ParamBlockDesc2, one per
// block kind, attached to its class descriptor) and the block that stores
// one object's values (IParamBlock2, a reference target of its owner).
//
// Values are not animated: a value set at any time holds at every time.
// Every change notifies the block's dependents (its owner) with
// REFMSG_CHANGE, records which parameter changed last, and is recorded by
// the macro recorder while the recorder is on.

#include <initializer_list>
#include <string>
#include <vector>

#include "host/sdk/color.h"
#include "host/sdk/interval.h"
#include "host/sdk/maxtypes.h"
#include "host/sdk/ref.h"

namespace tessary::host {

class ClassDesc;
class ClassDesc2;

// Parameter types. TYPE_TAB added to a base type marks a table.
enum ParamType2 : int {
  TYPE_FLOAT = 0,
  TYPE_INT = 1,
  TYPE_RGBA = 2,
  TYPE_BOOL = 4,
  TYPE_STRING = 8,
  TYPE_TEXMAP = 15,
  TYPE_TAB = 0x800,
  TYPE_FLOAT_TAB = TYPE_FLOAT + TYPE_TAB,
  TYPE_INT_TAB = TYPE_INT + TYPE_TAB,
  TYPE_RGBA_TAB = TYPE_RGBA + TYPE_TAB,
  TYPE_BOOL_TAB = TYPE_BOOL + TYPE_TAB,
  TYPE_STRING_TAB = TYPE_STRING + TYPE_TAB,
  TYPE_TEXMAP_TAB = TYPE_TEXMAP + TYPE_TAB,
};
constexpr int BaseType(int type) { return type & ~static_cast<int>(TYPE_TAB); }
constexpr bool IsTabType(int type) { return (type & TYPE_TAB) != 0; }

// Parameter flags.
inline constexpr int P_ANIMATABLE = 0x1;
inline constexpr int P_OWNERS_REF = 0x200;
inline constexpr int P_VARIABLE_SIZE = 0x1000;

// Block flags.
inline constexpr int P_AUTO_CONSTRUCT = 0x2;
inline constexpr int P_AUTO_UI = 0x4;

// Control bindings of the automatic rollout.
inline constexpr int TYPE_NO_CONTROL = -1;
inline constexpr int TYPE_SPINNER = 0;
inline constexpr int TYPE_SINGLECHECKBOX = 2;
inline constexpr int EDITTYPE_FLOAT = 1;

// Largest table size a block accepts: a count asked for beyond it (from a
// file, a script) is refused, so memory stays bounded.
inline constexpr int kMaxParamTabCount = 1 << 16;

// One parameter of a schema. An aggregate, meant for designated
// initialisers; fields left out take the defaults below.
struct ParamDef {
  ParamID id = -1;
  const char* int_name = nullptr;
  int type = TYPE_FLOAT;  // a ParamType2 code
  int tabSize = 0;        // initial size of a table
  int flags = 0;
  // Local name: the string resource localNameResId, or the literal text
  // localNameText when that is set.
  int localNameResId = 0;
  const char* localNameText = nullptr;
  // Default, by base type.
  float defFloat = 0.0f;
  int defInt = 0;  // also booleans
  Color defColor = Color(0.0f, 0.0f, 0.0f);
  const char* defString = nullptr;
  // Range (floats and integers).
  bool hasRange = false;
  float rangeLow = 0.0f;
  float rangeHigh = 0.0f;
  // Control binding of the automatic rollout.
  int ctrlType = TYPE_NO_CONTROL;
  int ctrlEditType = 0;
  int ctrlCount = 0;
  int ctrlIds[2] = {0, 0};
  float ctrlScale = 0.0f;
  // First owner reference number of a P_OWNERS_REF texture-map table.
  int ownerRefNo = -1;

  bool IsTab() const { return IsTabType(type); }
};

// Automatic rollout of a block.
struct ParamRollout {
  int dialogId = 0;
  int titleResId = 0;
  int dialogFlags = 0;
  int rollupFlags = 0;
};

// A block's schema. It attaches itself to cd on construction and detaches
// on destruction.
class ParamBlockDesc2 {
 public:
  ParamBlockDesc2(BlockID id, const char* intName, int localNameResId, ClassDesc2* cd, int flags,
                  int refNo, const ParamRollout& rollout, std::initializer_list<ParamDef> params);
  ~ParamBlockDesc2();
  ParamBlockDesc2(const ParamBlockDesc2&) = delete;
  ParamBlockDesc2& operator=(const ParamBlockDesc2&) = delete;

  BlockID ID() const { return id_; }
  const char* InternalName() const { return intName_; }
  int LocalNameResId() const { return localNameResId_; }
  ClassDesc2* GetClassDesc() const { return cd_; }
  int Flags() const { return flags_; }
  int RefNo() const { return refNo_; }
  const ParamRollout& Rollout() const { return rollout_; }

  // Parameters in order of declaration.
  int Count() const { return static_cast<int>(params_.size()); }
  const ParamDef* GetParamDefByIndex(int index) const;
  const ParamDef* GetParamDef(ParamID id) const;  // null for an unknown ID
  int IDtoIndex(ParamID id) const;                 // -1 for an unknown ID
  ParamID IndextoID(int index) const;              // -1 out of range

  // False when two parameters share an ID or a table's initial size is
  // negative or too large; such a schema makes empty blocks.
  bool IsValid() const { return valid_; }

 private:
  BlockID id_;
  const char* intName_;
  int localNameResId_;
  ClassDesc2* cd_;
  int flags_;
  int refNo_;
  ParamRollout rollout_;
  std::vector<ParamDef> params_;
  bool valid_ = true;
};

// One object's parameter values. Texture-map values of parameters without
// P_OWNERS_REF are the block's own references; the entries of a P_OWNERS_REF
// table are the owner's references ownerRefNo + index, which the block reads
// and replaces through the owner and never stores itself.
class IParamBlock2 : public ReferenceTarget {
 public:
  // A block with every parameter at its default and every table at its
  // initial size filled with default entries. A block made without a
  // schema (desc null) is empty until Load gives it one: that is how the
  // scene loader makes blocks (class PARAMBLOCK2_CLASS_ID).
  explicit IParamBlock2(const ParamBlockDesc2* desc, ReferenceMaker* owner = nullptr);
  ~IParamBlock2() override;

  Class_ID ClassID() override { return Class_ID(PARAMETER_BLOCK2_CLASS_ID, 0); }
  SClass_ID SuperClassID() override { return PARAMETER_BLOCK2_CLASS_ID; }
  void GetClassName(MSTR& s) override { s = "ParamBlock2"; }

  // The block's ID; -1 for a block without a schema.
  BlockID ID() const { return desc_ ? desc_->ID() : static_cast<BlockID>(-1); }
  const ParamBlockDesc2* GetDesc() const { return desc_; }
  ReferenceMaker* GetOwner() const { return owner_; }
  void SetOwner(ReferenceMaker* owner) { owner_ = owner; }
  int NumParams() const { return static_cast<int>(params_.size()); }

  // Entries of table id; 0 for a parameter that is not a table or unknown.
  int Count(ParamID id) const;
  // Sets the number of entries of table id, keeping the first ones; new
  // entries take the default. Fails (false, nothing changed) for a
  // non-table or unknown id, or n outside [0, kMaxParamTabCount].
  // Shrinking a table of the block's own texture maps releases them.
  bool SetCount(ParamID id, int n);

  // Setters: false (nothing changed, nothing notified) for an unknown id, a
  // type that does not match, or a table index out of range. Integers set
  // integer and boolean parameters.
  bool SetValue(ParamID id, TimeValue t, int v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, float v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const Color& v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, const char* v, int tabIndex = 0);
  bool SetValue(ParamID id, TimeValue t, ReferenceTarget* v, int tabIndex = 0);

  // Getters in the host's form: false, v untouched, on a wrong id, type or
  // index. valid is narrowed to the value's validity (forever).
  bool GetValue(ParamID id, TimeValue t, int& v, Interval& valid, int tabIndex = 0) const;
  bool GetValue(ParamID id, TimeValue t, float& v, Interval& valid, int tabIndex = 0) const;
  bool GetValue(ParamID id, TimeValue t, Color& v, Interval& valid, int tabIndex = 0) const;
  bool GetValue(ParamID id, TimeValue t, ReferenceTarget*& v, Interval& valid, int tabIndex = 0) const;

  // Direct getters: the value, or 0 / black / null on a wrong id, type or
  // index.
  int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  Color GetColor(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  // The text of a string entry; null for an entry never set (and no
  // default), or a wrong id, type or index. Valid until the entry changes.
  const char* GetStr(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  ReferenceTarget* GetReferenceTarget(ParamID id, TimeValue t = 0, int tabIndex = 0) const;

  // The parameter (and table index) of the last change; -1 before any.
  ParamID LastNotifyParamID() const { return lastParam_; }
  ParamID LastNotifyParamID(int& tabIndex) const {
    tabIndex = lastTabIndex_;
    return lastParam_;
  }

  // The block's own references: the texture-map entries of parameters
  // without P_OWNERS_REF, in parameter order, then entry order.
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;

  // The first maker to reference a block without an owner becomes its
  // owner; an owner that stops referencing it is forgotten.
  void RefAdded(ReferenceMaker* maker) override;
  void RefDeleted(ReferenceMaker* maker) override;

  // A block with the same schema, counts and values; its own texture maps
  // are cloned through remap. Its owner is the first maker that references
  // it.
  RefTargetHandle Clone(RemapDir& remap) override;

  // The block in a scene file. Chunk PB_HEADER_CHUNK: the owning class's
  // super class, class ID (two parts) and the block ID, then the number of
  // parameter chunks (all 32-bit little-endian). Then one chunk
  // PB_PARAM_CHUNK per parameter in schema order: ID, type code and entry
  // count (32-bit each), then the entries: float 4 bytes; integer and
  // boolean 4; colour 3 x 4; string a 0/1 byte (set or not), a 32-bit
  // length and the bytes; texture maps nothing (the block's own maps are
  // its references, the owner-held ones the owner's).
  //
  // Load finds the schema through the class directory and starts from its
  // defaults. A parameter chunk whose ID the schema lacks or whose type
  // differs is skipped; a count beyond kMaxParamTabCount or beyond the bytes
  // of the chunk, an unknown class or block, or a malformed stream is an
  // error (IO_ERROR with a message on the loader) that leaves the values
  // read so far.
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;

  static constexpr unsigned short PB_HEADER_CHUNK = 0x0001;
  static constexpr unsigned short PB_PARAM_CHUNK = 0x0002;

 protected:
  void SetReference(int i, RefTargetHandle target) override;

 private:
  struct Entry {
    int i = 0;
    float f = 0.0f;
    Color c;
    bool hasStr = false;
    std::string s;
    ReferenceTarget* ref = nullptr;
  };
  struct Param {
    const ParamDef* def = nullptr;
    int count = 0;               // entries (owner-held tables: count only)
    std::vector<Entry> entries;  // empty for owner-held tables
  };

  void Build(const ParamBlockDesc2* desc);
  IOResult LoadParam(ILoad* iload);
  Param* Find(ParamID id);
  const Param* Find(ParamID id) const;
  const Entry* EntryAt(ParamID id, int base, int tabIndex) const;
  Entry* EntryAt(ParamID id, int base, int tabIndex);
  Entry DefaultEntry(const ParamDef& def) const;
  static bool OwnerHeld(const ParamDef& def);
  int RefIndexOf(const Param* p, int tabIndex) const;
  void Changed(ParamID id, int tabIndex, const std::string& what);

  const ParamBlockDesc2* desc_;
  ReferenceMaker* owner_;
  std::vector<Param> params_;
  ParamID lastParam_ = -1;
  int lastTabIndex_ = -1;
};

// Makes a block from desc for owner (the owner still has to reference it).
IParamBlock2* CreateParameterBlock2(const ParamBlockDesc2* desc, ReferenceMaker* owner);

// The class descriptor of parameter blocks, which the class directory holds
// so that the scene loader can make empty blocks to load.
ClassDesc* GetParamBlock2Desc();

}  // namespace tessary::host
