// Scene dressing by object name: the lists of the locomotive's parts, its
// metal's maps, the levels of detail, the fan, the specular powers, the
// ground drawn with a depth bias, the sky box and the paint planes.
#include <algorithm>
#include <cstdio>

#include "D3DUtils.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "OcclusionManager.h"
#include "Scene.h"
#include "TarnholmApp.h"

namespace
{
const struct
{
    const char* name;
    int bias;
} kZBiased[] = {{"Panorama03", 0}, {"Les09", 0},         {"Panorama02", 0},    {"Desert03", 0},     {"Desert02", 0},
                {"Desert01", 0},   {"Desert08", 0},      {"Rock01", 0},        {"Rock02", 0},       {"Rock_back01", 0},
                {"Les01", 0},      {"Les04", 0},         {"Railbase02_01", 2}, {"Railbase02_02", 2}, {"Dirt_road01", 3},
                {"Dirt_road02", 4}, {"Land01", 1},       {"Land02", 2}};

// Every geometry object of the scene, in its order.
std::vector<GeomObject*> AllGeomObjects(Scene* scene)
{
    std::vector<GeomObject*> list;
    CollectGeomObjects(scene, ".*", list);
    return list;
}

// Marks a map kind present or absent on every mesh's material of the object
// and chooses each material's effect again.
void SetMapKindPresent(GeomObject* object, int kind, bool present)
{
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
        if (MeshMaterial* material = object->GetMesh(i)->GetMaterial())
        {
            material->GetEffectState().SetPresent(kind, present);
            material->RechooseEffect();
        }
}

// Puts the texture into the map of that kind on every mesh's material of the
// object, marks it present and chooses each effect again.
void PutMapTexture(GeomObject* object, int kind, IDirect3DTexture8* texture)
{
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
        if (MeshMaterial* material = object->GetMesh(i)->GetMaterial())
        {
            MaterialEffectState& state = material->GetEffectState();
            if (Map* map = state.GetMap(kind))
                map->SetTexture(texture);
            state.SetPresent(kind, true);
            material->RechooseEffect();
        }
}
} // namespace

// Appends every geometry object of the scene whose whole name matches.
void CollectGeomObjects(Scene* scene, const std::string& expression, std::vector<GeomObject*>& list)
{
    if (!scene)
        return;
    const ObjectMask mask = scene->FindObjects(expression);
    for (ObjectMaskIterator it = mask.BeginGeom(); !it.AtEnd(); ObjectMask::NextGeom(it))
        list.push_back(static_cast<GeomObject*>(it.GetObject()));
}

void SetObjectsVisible(const std::vector<GeomObject*>& list, bool recursive, bool visible)
{
    for (GeomObject* object : list)
        if (object)
        {
            object->SetVisible(visible);
            if (recursive)
                object->SetVisibleRecursive(visible);
        }
}

void CTarnholmApp::InitLocoObjects()
{
    g_Log.Printf("Init loco objects\n");
    CollectGeomObjects(m_pLocoScene.get(), "Loco.*", m_LocoObjects);
    CollectGeomObjects(m_pLocoScene.get(), "L_inscription.*", m_LInscriptionObjects);
    CollectGeomObjects(m_pLocoScene.get(), "A_inscription.*", m_AInscriptionObjects);
    CollectGeomObjects(m_pLocoScene.get(), "Shadow.*", m_LocoShadowObjects);
    CollectGeomObjects(m_pMainScene.get(), "Rails.*", m_RailsObjects);
    m_TrainObjects = m_LocoObjects;
    m_TrainObjects.insert(m_TrainObjects.end(), m_LInscriptionObjects.begin(), m_LInscriptionObjects.end());
    for (GeomObject* object : m_LocoObjects)
        for (size_t i = 0; i < object->GetMeshCount(); ++i)
        {
            MeshMaterial* material = object->GetMesh(i)->GetMaterial();
            if (material && material->GetEffectState().IsPresent(MAPKIND_BUMP))
            {
                material->GetEffectState().SetPattern("DiffuseBumpStencil.*");
                material->RechooseEffect();
            }
        }
}

void CTarnholmApp::InitObjects()
{
    g_Log.Printf("Init objects\n");
    if (m_bEnableShaders)
    {
        if (!m_pEnvironmentTexture)
            m_pEnvironmentTexture.Reset(LoadTextureFromStorage("Environment.dds"));
        if (!m_pSpecularTexture)
            m_pSpecularTexture.Reset(LoadTextureFromStorage("Specular.dds"));
        if (!m_pEnvironmentTexture || !m_pSpecularTexture)
            g_Log.Printf("Error: can't load \"Environment.dds\" or \"Specular.dds\"; the locomotive's metal keeps "
                         "its own maps\n");
    }
    for (const char* name : {"Loco_boiler_rscs_sn01", "Loco_pan_rscs_sn01", "Loco_cilinder_rscs_sn01"})
    {
        GeomObject* object = m_pLocoScene ? m_pLocoScene->FindGeomObject(name) : nullptr;
        if (!object)
            continue;
        if (!m_bEnableShaders)
        {
            SetMapKindPresent(object, MAPKIND_ENVIRONMENT_ALPHA, false);
            SetMapKindPresent(object, MAPKIND_ENVIRONMENT, false);
        }
        else if (m_pEnvironmentTexture && m_pSpecularTexture)
        {
            PutMapTexture(object, MAPKIND_ENVIRONMENT, m_pEnvironmentTexture);
            PutMapTexture(object, MAPKIND_SPECULAR, m_pSpecularTexture);
        }
    }
}

void CTarnholmApp::DisableBump()
{
    g_Log.Printf("Disable bump \n");
    for (Scene* scene : {m_pMainScene.get(), m_pLocoScene.get()})
        for (GeomObject* object : AllGeomObjects(scene))
        {
            SetMapKindPresent(object, MAPKIND_BUMP, false);
            SetMapKindPresent(object, MAPKIND_ENVIRONMENT_ALPHA, false);
        }
}

void CTarnholmApp::InitZFightingObjects()
{
    g_Log.Printf("Init z-fighting objects\n");
    m_ZBiasedObjects.clear();
    auto take = [this](const std::string& name, int bias) {
        GeomObject* object = m_pMainScene->FindGeomObject(name);
        if (!object)
            return false;
        object->SetVisible(false);
        m_ZBiasedObjects.push_back({object, bias});
        return true;
    };
    for (const auto& entry : kZBiased)
        take(entry.name, entry.bias);
    for (const char* pattern : {"Land0%i%i", "Lan_d0%i%i"})
    {
        bool more = true;
        for (int k = 1; more; ++k)
            for (int j = 1; j <= 2 && more; ++j)
            {
                char name[32];
                std::snprintf(name, sizeof(name), pattern, j, k);
                more = take(name, j);
            }
    }
    std::stable_sort(m_ZBiasedObjects.begin(), m_ZBiasedObjects.end(),
                     [](const std::pair<GeomObject*, int>& a, const std::pair<GeomObject*, int>& b) {
                         return a.second < b.second;
                     });
}

void CTarnholmApp::InitLODModifiers()
{
    g_Log.Printf("Init LOD modifiers\n");
    for (std::unique_ptr<CLODModifier>& modifier : m_pLODModifiers)
        modifier.reset(new CLODModifier());
    ApplyLODSettings();
    for (GeomObject* object : AllGeomObjects(m_pMainScene.get()))
    {
        const int group = SelectLODGroup(object->GetName().c_str());
        if (group >= 0)
            object->AddModifier(m_pLODModifiers[group].get());
    }
}

void CTarnholmApp::ApplyLODSettings()
{
    TuningControl::CManager& tuning = GetTuning();
    static const float kShippedFade[LOD_GROUP_COUNT] = {400000, 790000, 470000, 270000};
    for (int group : {LOD_GROUP_GRASS, LOD_GROUP_TREES, LOD_GROUP_RAILBASE, LOD_GROUP_HOUSES})
    {
        CLODModifier* modifier = m_pLODModifiers[group].get();
        if (!modifier)
            continue;
        const std::string key = std::string("LODModifierGroups.") + LODGroupName(group);
        modifier->Set(m_pMainScene.get(), *tuning.GetValueOr(key + ".NoFadeDistance", 0),
                      *tuning.GetValueOr(key + ".FadeDistance", kShippedFade[group]));
    }
}

void CTarnholmApp::InitFan()
{
    m_pFanModifier.reset(new CRotationModifier());
    m_pFanModifier->m_Speed = 0.349066f;
    m_pFanModifier->m_Axis = CRotationModifier::AXIS_Z;
    m_pFanModifier->m_Mode = 0;
    for (GeomObject* object : AllGeomObjects(m_pMainScene.get()))
        if (object->GetName().find("winddrive_fan") != std::string::npos)
            object->AddModifier(m_pFanModifier.get());
}

void CTarnholmApp::InitSpecularPower(GeomObject* object)
{
    if (!object)
        return;
    const int group = std::max(SpecularPowerGroup(object->GetName().c_str()), 0);
    char key[32];
    std::snprintf(key, sizeof(key), "SpecPow._g%02i", group);
    const int power = ClampSpecularPower(*GetTuning().GetValueOr(key, 0));
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
        if (MeshMaterial* material = object->GetMesh(i)->GetMaterial())
            material->SetEffectVariable("SpecularPow", power);
}

void CTarnholmApp::ApplySpecularPower()
{
    for (GeomObject* object : m_LocoObjects)
        InitSpecularPower(object);
}

void CTarnholmApp::ApplyOcclusionSettings()
{
    COcclusionManager* occlusion = m_pMainScene ? m_pMainScene->GetOcclusionManager() : nullptr;
    if (!occlusion)
        return;
    TuningControl::CManager& tuning = GetTuning();
    *tuning.GetValueOr("OcclusionManager.Number_active_occluders", 2) = float(occlusion->GetOccluders().size());
    occlusion->SetEnabled(*tuning.GetValueOr("OcclusionManager.Enable_occlusion_culling", 1) > 0);
}

void CTarnholmApp::InitSkyBox()
{
    g_Log.Printf("Init sky box\n");
    m_pSkyObject = m_pMainScene->FindGeomObject("Sky01");
    if (!m_pSkyObject)
        return;
    m_pSkyObject->SetVisible(false);
    m_pSkyObject->SetZWrite(0);
    // The sky surrounds the camera: it is never culled.
    for (size_t i = 0; i < m_pSkyObject->GetMeshCount(); ++i)
        m_pSkyObject->GetMesh(i)->SetCullingFlag(false);
}

void CTarnholmApp::InitPaintPlanes()
{
    std::vector<GeomObject*> planes;
    CollectGeomObjects(m_pMainScene.get(), "Paint_plane.*", planes);
    for (GeomObject* plane : planes)
        plane->SetZWrite(0);
}
